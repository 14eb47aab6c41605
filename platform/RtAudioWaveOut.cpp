#include "platform/RtAudioWaveOut.h"

#include <rtaudio/RtAudio.h>

#include <chrono>
#include <thread>

namespace tavolin {
namespace {

using namespace std::chrono_literals;

// RtAudio reports every failure by throwing; nothing of it leaves this file.
template <typename F>
bool Guarded(F&& f, std::string* error = nullptr) {
  try {
    f();
    return true;
  } catch (const std::exception& e) {
    if (error != nullptr) *error = e.what();
    return false;
  }
}

// No error callback is installed: RtAudio's JACK code calls it from its own
// threads while the server goes away, where it is not safe.
class RtAudioWaveOut final : public WaveOut {
 public:
  RtAudioWaveOut(MessageQueue& notify, std::unique_ptr<RtAudio> audio)
      : WaveOut("RtAudio", notify), audio_(std::move(audio)) {}
  ~RtAudioWaveOut() override { Close(); }

  // Opens and starts the stream on the default output device; throws RtAudioError.
  void Start() {
    RtAudio::StreamParameters output;
    output.deviceId = audio_->getDefaultOutputDevice();
    output.nChannels = 1;
    RtAudio::StreamOptions options;
    options.streamName = "Tavolin";
    // Asked for one ring buffer per callback; the API (JACK in particular)
    // may set another size, and Pull drains the ring at any size.
    unsigned int frames = kBlockSamples;
    audio_->openStream(&output, nullptr, RTAUDIO_SINT16, kSampleRate, &frames, &Callback, this, &options);
    audio_->startStream();
  }

 protected:
  void StopPump() override {
    if (ServerWentAway()) return;
    Guarded([this] {
      if (audio_->isStreamRunning()) audio_->abortStream();  // stopStream would wait for a drain
    });
    Guarded([this] {
      if (audio_->isStreamOpen()) audio_->closeStream();
    });
  }

 private:
  // Audio thread (the API's callback thread).
  static int Callback(void* output, void* /*input*/, unsigned int frames, double /*streamTime*/,
                      RtAudioStreamStatus /*status*/, void* self) {
    auto* device = static_cast<RtAudioWaveOut*>(self);
    device->Pull(static_cast<int16_t*>(output), frames);
    device->callbacks_.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }

  // When a JACK server dies under a running stream, RtAudio closes the
  // stream itself on a thread of its own; closing it here too at the same
  // time would free its memory twice. A running stream whose callbacks have
  // stopped is left to that thread, and waited for.
  bool ServerWentAway() {
    if (!audio_->isStreamRunning()) return !audio_->isStreamOpen();
    const uint64_t before = callbacks_.load(std::memory_order_relaxed);
    for (auto waited = 0ms; waited < 500ms; waited += 5ms) {
      if (callbacks_.load(std::memory_order_relaxed) != before) return false;
      std::this_thread::sleep_for(5ms);
    }
    for (auto waited = 0ms; waited < 3000ms; waited += 5ms) {
      if (!audio_->isStreamOpen()) {
        std::this_thread::sleep_for(50ms);  // let RtAudio's closing thread run to its end
        return true;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  std::unique_ptr<RtAudio> audio_;
  std::atomic<uint64_t> callbacks_{0};
};

}  // namespace

SystemWaveOutOpenResult OpenRtAudioWaveOut(MessageQueue& notify) {
  SystemWaveOutOpenResult open;
  std::unique_ptr<RtAudio> audio;
  unsigned int devices = 0;
  if (!Guarded(
          [&] {
            audio = std::make_unique<RtAudio>();
            devices = audio->getDeviceCount();
          },
          &open.result.error)) {
    return open;
  }
  if (devices == 0) {
    open.noDevice = true;
    open.result.error = "no audio output device";
    return open;
  }
  std::unique_ptr<RtAudioWaveOut> device;
  if (!Guarded(
          [&] {
            device = std::make_unique<RtAudioWaveOut>(notify, std::move(audio));
            device->Start();
          },
          &open.result.error)) {
    return open;  // the device, going out of scope, closes whatever was opened
  }
  open.result.device = std::move(device);
  return open;
}

}  // namespace tavolin
