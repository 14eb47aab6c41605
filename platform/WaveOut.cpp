#include "platform/WaveOut.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/BoundedQueue.h"

namespace tavolin {
namespace {

// More than any ring queues at once; a write beyond it is refused.
constexpr size_t kDeviceQueueCapacity = 64;

uint32_t SamplesIn(const WaveHeader& header) { return header.bufferLength / 2; }

// Replaces a header's flags with change(flags) in one atomic step unless
// refuse(flags); returns the flags it replaced, or nothing when it refused.
template <typename Refuse, typename Change>
std::optional<uint32_t> ChangeFlags(WaveHeader& header, Refuse refuse, Change change) {
  uint32_t flags = header.flags.load(std::memory_order_relaxed);
  do {
    if (refuse(flags)) return std::nullopt;
  } while (!header.flags.compare_exchange_weak(flags, change(flags), std::memory_order_acq_rel,
                                               std::memory_order_relaxed));
  return flags;
}

bool Queued(uint32_t flags) { return (flags & WHDR_INQUEUE) != 0; }

}  // namespace

struct WaveOut::Impl {
  Impl(const char* name, MessageQueue& queue)
      : backendName(name), notify(queue), queued(kDeviceQueueCapacity) {}

  const char* backendName;
  MessageQueue& notify;
  BoundedQueue<WaveHeader*> queued;  // writers push from any thread; the pump pops

  // Held by the pump while it plays and by Reset and Close; the pump only
  // tries it, so it never waits.
  std::mutex device;
  WaveHeader* playing = nullptr;  // under `device`
  uint32_t playedInBuffer = 0;    // samples of `playing` already played; under `device`

  std::atomic<bool> closed{false};  // set under `device`; Write reads it without
  std::atomic<uint64_t> played{0};
  std::atomic<uint64_t> underrun{0};

  // The device lets go of a header: clearing WHDR_INQUEUE first lets the
  // owner queue it again as soon as it sees the done message.
  void GiveBack(WaveHeader& header, bool postDone) {
    ChangeFlags(header, [](uint32_t) { return false; }, [](uint32_t flags) { return (flags | WHDR_DONE) & ~WHDR_INQUEUE; });
    if (postDone) notify.Post({MessageId::WaveOutDone, 0, reinterpret_cast<uintptr_t>(&header)});
  }

  // Every header queued before this call (the one playing included); under `device`.
  void GiveBackAll(bool postDone) {
    if (playing != nullptr) GiveBack(*playing, postDone);
    playing = nullptr;
    playedInBuffer = 0;
    const size_t target = queued.Claimed();
    WaveHeader* header = nullptr;
    while (queued.Popped() != target) {
      if (queued.TryPop(header)) {
        GiveBack(*header, postDone);
      } else {
        std::this_thread::yield();  // a writer has claimed a cell and is about to publish it
      }
    }
  }

  // Audio thread: copies up to `frames` samples from the queued buffers
  // into `out` (null: only time passes); returns how many there were.
  uint32_t PlayQueued(int16_t* out, uint32_t frames) {
    uint32_t done = 0;
    while (done < frames) {
      if (playing == nullptr) {
        if (!queued.TryPop(playing)) break;
        playedInBuffer = 0;
      }
      const uint32_t n = std::min(frames - done, SamplesIn(*playing) - playedInBuffer);
      if (out != nullptr) std::memcpy(out + done, playing->data + playedInBuffer, n * sizeof(int16_t));
      done += n;
      playedInBuffer += n;
      played.fetch_add(n, std::memory_order_relaxed);
      if (playedInBuffer == SamplesIn(*playing)) {
        GiveBack(*playing, true);
        playing = nullptr;
      }
    }
    return done;
  }
};

WaveOut::WaveOut(const char* backendName, MessageQueue& notify)
    : impl_(std::make_unique<Impl>(backendName, notify)) {}

WaveOut::~WaveOut() = default;

bool WaveOut::Prepare(WaveHeader& header) {
  if (header.data == nullptr && header.bufferLength != 0) return false;
  return ChangeFlags(header, Queued, [](uint32_t flags) { return flags | WHDR_PREPARED; }).has_value();
}

bool WaveOut::Unprepare(WaveHeader& header) {
  return ChangeFlags(header, Queued, [](uint32_t flags) { return flags & ~WHDR_PREPARED; }).has_value();
}

bool WaveOut::Write(WaveHeader& header) {
  if (impl_->closed.load(std::memory_order_acquire)) return false;
  // Taking WHDR_INQUEUE is the test-and-set that keeps two writers from
  // queueing one header twice.
  const std::optional<uint32_t> before = ChangeFlags(
      header, [](uint32_t flags) { return !(flags & WHDR_PREPARED) || Queued(flags); },
      [](uint32_t flags) { return (flags | WHDR_INQUEUE) & ~WHDR_DONE; });
  if (!before) return false;
  if (impl_->queued.TryPush(&header)) return true;
  header.flags.store(*before, std::memory_order_release);  // nothing else touches a header marked queued
  return false;
}

void WaveOut::Reset() {
  std::lock_guard lock(impl_->device);
  if (impl_->closed.load(std::memory_order_relaxed)) return;
  impl_->GiveBackAll(true);
  impl_->played.store(0, std::memory_order_relaxed);
}

uint64_t WaveOut::PlayedSamples() const { return impl_->played.load(std::memory_order_relaxed); }

uint64_t WaveOut::UnderrunSamples() const { return impl_->underrun.load(std::memory_order_relaxed); }

void WaveOut::Close() {
  {
    std::lock_guard lock(impl_->device);
    if (impl_->closed.load(std::memory_order_relaxed)) return;
    impl_->closed.store(true, std::memory_order_release);
    // The owner may unprepare and free its headers once Close returns, but
    // it is not told about them any more.
    impl_->GiveBackAll(false);
  }
  StopPump();
}

const char* WaveOut::BackendName() const { return impl_->backendName; }

void WaveOut::Pull(int16_t* out, uint32_t frames) {
  std::unique_lock lock(impl_->device, std::try_to_lock);
  const bool playing = lock.owns_lock() && !impl_->closed.load(std::memory_order_relaxed);
  const uint32_t done = playing ? impl_->PlayQueued(out, frames) : 0;
  if (done == frames) return;
  if (out != nullptr) std::memset(out + done, 0, (frames - done) * sizeof(int16_t));
  // Only an empty queue counts as an underrun; silence during a reset or after close does not.
  if (playing) impl_->underrun.fetch_add(frames - done, std::memory_order_relaxed);
}

}  // namespace tavolin
