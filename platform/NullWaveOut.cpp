#include "platform/NullWaveOut.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/ThreadName.h"

namespace tavolin {
namespace {

using std::chrono::steady_clock;

// Start of block n after the pump started, computed from n each time so that
// rounding never adds up to drift.
steady_clock::duration BlockStart(uint64_t n) {
  return std::chrono::duration_cast<steady_clock::duration>(
      std::chrono::nanoseconds(n * kBlockSamples * 1'000'000'000ull / kSampleRate));
}

// After a stall this long (a suspended machine, a stopped debugger) the pump
// starts its timeline afresh instead of catching up in a burst.
constexpr uint64_t kMaxBlocksBehind = 8;

class NullWaveOut final : public WaveOut {
 public:
  explicit NullWaveOut(MessageQueue& notify) : WaveOut("null", WaveOutKind::Null, notify) {
    SetPlayingOn("null (silent)", kBlockSamples);
    pump_ = std::thread([this] { Run(); });
  }
  ~NullWaveOut() override { Close(); }

 protected:
  void StopPump() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (pump_.joinable()) pump_.join();
  }

 private:
  void Run() {
    NameCurrentThread("NullAudioOut");
    std::array<int16_t, kBlockSamples> unheard{};
    steady_clock::time_point start = steady_clock::now();
    uint64_t blocks = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      const steady_clock::time_point due = start + BlockStart(blocks + 1);
      if (wake_.wait_until(lock, due, [this] { return stopping_; })) return;
      lock.unlock();
      Pull(unheard.data(), kBlockSamples);
      lock.lock();
      ++blocks;
      const steady_clock::time_point now = steady_clock::now();
      if (now - due > BlockStart(kMaxBlocksBehind)) {
        start = now;
        blocks = 0;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;  // under mutex_
  std::thread pump_;
};

}  // namespace

WaveOutOpenResult OpenNullWaveOut(MessageQueue& notify) {
  try {
    return {std::make_unique<NullWaveOut>(notify), {}};
  } catch (const std::exception& e) {
    return {nullptr, std::string("cannot start the null output device: ") + e.what()};
  }
}

}  // namespace tavolin
