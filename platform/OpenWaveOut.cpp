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

}  // namespace

WaveOutOpenResult OpenWaveOut(WaveOutKind kind, const WaveFormat& format, MessageQueue& notify) {
  if (!IsSupported(format)) return {nullptr, "only 16-bit mono PCM at 44100 Hz is supported"};
  switch (kind) {
    case WaveOutKind::Virtual:
      return {std::make_unique<VirtualWaveOut>(notify), {}};
    case WaveOutKind::Null:
      return OpenNullWaveOut(notify);
    case WaveOutKind::System:
      return OpenRtAudioWaveOut(notify).result;
    case WaveOutKind::Auto: {
      SystemWaveOutOpenResult system = OpenRtAudioWaveOut(notify);
      if (system.noDevice) return OpenNullWaveOut(notify);
      return std::move(system.result);
    }
  }
  return {nullptr, "unknown output device kind"};
}

}  // namespace tavolin
