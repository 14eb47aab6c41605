#include "platform/RtAudioWaveOut.h"

#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/RtAudioProbe.h"
#include "platform/ThreadName.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;

// No error callback is installed: RtAudio's JACK code calls it from its own
// threads while the server goes away, where it is not safe.
class RtAudioWaveOut final : public WaveOut {
 public:
  RtAudioWaveOut(MessageQueue& notify, std::unique_ptr<RtAudio> audio)
      : WaveOut("RtAudio", WaveOutKind::System, notify), audio_(std::move(audio)) {}
  ~RtAudioWaveOut() override { Close(); }

  // Opens and starts the stream on `output`; throws RtAudioError.
  // The mono ring is played on both channels of a stereo device (on JACK,
  // two ports connected to the first two playback ports), so that it comes
  // from both speakers.
  void Start(const RtAudioOutput& device, uint32_t period) {
    RtAudio::StreamParameters output;
    output.deviceId = device.id;
    output.nChannels = device.channels >= 2 ? 2 : 1;
    channels_ = output.nChannels;
    RtAudio::StreamOptions options;
    options.streamName = "Tavolin";
    // Asked for `period` frames per callback; the API (JACK in particular)
    // may set another size, and Pull plays at any size.
    unsigned int frames = period;
    audio_->openStream(&output, nullptr, RTAUDIO_SINT16, kSampleRate, &frames, &Callback, this, &options);
    SetPlayingOn(RtAudio::getApiName(audio_->getCurrentApi()) + ":" + device.name, frames);
    audio_->startStream();
  }

 protected:
  void StopPump() override {
    if (LeftToJack()) {
      WaitForJackToClose();
    } else {
      Guarded([this] {
        if (audio_->isStreamRunning()) audio_->abortStream();  // stopStream would wait for a drain
      });
      Guarded([this] {
        if (audio_->isStreamOpen()) audio_->closeStream();
      });
    }
    // The API's threads hand over through primitives that ThreadSanitizer
    // cannot see; this acquire pairs with the release that ends every callback.
    callbacks_.load(std::memory_order_acquire);
  }

 private:
  // Audio thread (the API's callback thread). libjack cancels its process
  // thread asynchronously when a client is closed after the server died; a
  // cancel landing inside Pull would lose a header or, unwinding through a
  // noexcept frame, end the program. So the callback is never cancelled.
  static int Callback(void* output, void* /*input*/, unsigned int frames, double /*streamTime*/,
                      RtAudioStreamStatus status, void* self) {
    int cancelState = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
    NameThisThreadOnce();
    auto* device = static_cast<RtAudioWaveOut*>(self);
    if ((status & RTAUDIO_OUTPUT_UNDERFLOW) != 0) device->CountMissedFrames(frames);
    device->Pull(static_cast<int16_t*>(output), frames, device->channels_);
    // Last touch of the device in a callback; StopPump acquires it.
    device->callbacks_.fetch_add(1, std::memory_order_release);
    pthread_setcancelstate(cancelState, nullptr);
    return 0;
  }

  // The API's thread gets a name that says what it does, once per thread (a
  // prctl on the calling thread, no file access, no allocation: thread_local
  // of our own executable is static storage).
  static void NameThisThreadOnce() {
    thread_local bool named = false;
    if (named) return;
    named = true;
    NameCurrentThread("AudioOut");
  }

  // When JACK stops serving a running stream (the server died, or it threw
  // the client out), RtAudio closes the stream itself, on a thread of its
  // own. Closing it here as well would run two jack_client_close calls at
  // once, which deadlock or free the same memory twice. So a JACK stream
  // whose callbacks have stopped is left to that thread.
  bool LeftToJack() {
    if (audio_->getCurrentApi() != RtAudio::UNIX_JACK || !audio_->isStreamRunning()) return false;
    const uint64_t before = callbacks_.load(std::memory_order_acquire);
    for (auto waited = 0ms; waited < 500ms; waited += 5ms) {
      if (callbacks_.load(std::memory_order_acquire) != before) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  void WaitForJackToClose() {
    for (auto waited = 0ms; waited < 2s; waited += 5ms) {
      if (!audio_->isStreamOpen()) {
        std::this_thread::sleep_for(50ms);  // the closing thread ends right after
        return;
      }
      std::this_thread::sleep_for(5ms);
    }
    // That thread is stuck and may still use the RtAudio object: it is
    // left alive (a small leak) rather than freed under the thread's feet.
    std::fprintf(stderr, "tavolin: the JACK client did not close; its resources are left behind.\n");
    static_cast<void>(audio_.release());
  }

  std::unique_ptr<RtAudio> audio_;
  uint32_t channels_ = 1;  // set before the stream starts
  std::atomic<uint64_t> callbacks_{0};
};

}  // namespace

SystemWaveOutOpenResult OpenRtAudioWaveOut(MessageQueue& notify, uint32_t period, const std::string& api,
                                           const std::string& device) {
  SystemWaveOutOpenResult open;
  ChosenOutput chosen = ChooseOutput(api, device);
  if (!chosen.audio) {
    open.noDevice = chosen.noDevice;
    open.result.error = std::move(chosen.error);
    return open;
  }
  std::unique_ptr<RtAudioWaveOut> opened;
  if (!Guarded(
          [&] {
            opened = std::make_unique<RtAudioWaveOut>(notify, std::move(chosen.audio));
            opened->Start(chosen.output, period);
          },
          &open.result.error)) {
    return open;  // the device, going out of scope, closes whatever was opened
  }
  open.result.device = std::move(opened);
  return open;
}

}  // namespace tavolin
