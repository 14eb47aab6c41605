#include <cstdio>

#include "platform/NullWaveOut.h"
#include "platform/RtAudioWaveOut.h"
#include "platform/WaveOut.h"

namespace tavolin {
namespace {

bool IsSupported(const WaveFormat& format) {
  const WaveFormat wanted;
  return format.formatTag == wanted.formatTag && format.channels == wanted.channels &&
         format.samplesPerSec == wanted.samplesPerSec && format.bitsPerSample == wanted.bitsPerSample &&
         format.blockAlign == wanted.blockAlign && format.avgBytesPerSec == wanted.avgBytesPerSec;
}

// The null device, with one line on stderr that says nothing will be heard.
WaveOutOpenResult OpenNullSaying(const char* why, MessageQueue& notify) {
  WaveOutOpenResult open = OpenNullWaveOut(notify);
  if (open.device) std::fprintf(stderr, "tavolin: %sthe sound is silent (null output device).\n", why);
  return open;
}

}  // namespace

WaveOutOpenResult OpenWaveOut(const WaveOutChoice& choice, const WaveFormat& format, MessageQueue& notify) {
  if (!IsSupported(format)) return {nullptr, "only 16-bit mono PCM at 44100 Hz is supported"};
  switch (choice.kind) {
    case WaveOutKind::Virtual: return {std::make_unique<VirtualWaveOut>(notify), {}};
    case WaveOutKind::Null: return OpenNullSaying("", notify);
    case WaveOutKind::System: return OpenRtAudioWaveOut(notify, choice.period, choice.api, choice.device).result;
    case WaveOutKind::Auto: {
      SystemWaveOutOpenResult system = OpenRtAudioWaveOut(notify, choice.period);
      if (system.noDevice) return OpenNullSaying("no audio output device found; ", notify);
      return std::move(system.result);
    }
  }
  return {nullptr, "unknown output device kind"};
}

}  // namespace tavolin
