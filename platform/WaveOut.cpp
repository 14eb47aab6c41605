#include "platform/WaveOut.h"

#include <algorithm>
#include <cstring>
#include <iterator>
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
  } while (
      !header.flags.compare_exchange_weak(flags, change(flags), std::memory_order_acq_rel, std::memory_order_relaxed));
  return flags;
}

bool Queued(uint32_t flags) { return (flags & WHDR_INQUEUE) != 0; }

// Plays the mono samples at the front of `out` on every channel, in place:
// frame i moves to i * channels, so going backwards never overwrites a
// sample still to be moved.
void SpreadOverChannels(int16_t* out, uint32_t frames, uint32_t channels) {
  if (channels <= 1) return;
  for (uint32_t i = frames; i-- > 0;) {
    const int16_t sample = out[i];
    std::fill_n(out + static_cast<size_t>(i) * channels, channels, sample);
  }
}

}  // namespace

struct WaveOut::Impl {
  Impl(const char* name, WaveOutKind k, MessageQueue& queue)
      : backendName(name), kind(k), notify(queue), queued(kDeviceQueueCapacity) {}

  const char* backendName;
  WaveOutKind kind;
  MessageQueue& notify;
  BoundedQueue<WaveHeader*> queued;  // writers push from any thread; the pump pops

  // Held by the pump while it plays and by Reset and Close; the pump only
  // tries it, so it never waits.
  std::mutex device;
  WaveHeader* playing = nullptr;  // under `device`
  uint32_t playedInBuffer = 0;    // samples of `playing` already played; under `device`
  bool started = false;           // a buffer has played since open or the last reset; under `device`
  bool inUnderrun = false;        // the last sample pulled was underrun silence; under `device`

  std::atomic<SampleSource*> source{nullptr};
  std::atomic<bool> closed{false};   // set under `device`; Write reads it without
  std::atomic<uint32_t> writers{0};  // Writes between their test of `closed` and their push
  std::atomic<uint64_t> played{0};
  std::atomic<uint64_t> playedTotal{0};
  std::atomic<uint64_t> pumped{0};
  std::atomic<uint64_t> underrun{0};
  std::atomic<uint64_t> underrunEvents{0};

  // Pump, under `device`: one pull played `playedNow` samples of buffers,
  // then `silent` samples of silence. One flag is all a stretch needs.
  void CountSilence(uint32_t playedNow, uint32_t silent) {
    if (playedNow > 0) {
      started = true;
      inUnderrun = false;
    }
    if (silent == 0 || !started) return;
    underrun.fetch_add(silent, std::memory_order_relaxed);
    if (!inUnderrun) underrunEvents.fetch_add(1, std::memory_order_relaxed);
    inUnderrun = true;
  }

  // The device lets go of a header: clearing WHDR_INQUEUE first lets the
  // owner queue it again as soon as it sees the done message.
  void GiveBack(WaveHeader& header, bool postDone) {
    ChangeFlags(
        header, [](uint32_t) { return false; }, [](uint32_t flags) { return (flags | WHDR_DONE) & ~WHDR_INQUEUE; });
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
      playedTotal.fetch_add(n, std::memory_order_relaxed);
      if (playedInBuffer == SamplesIn(*playing)) {
        GiveBack(*playing, true);
        playing = nullptr;
      }
    }
    return done;
  }

  // Audio thread, under `device`: all `frames` from the source.
  void PlaySource(SampleSource& from, int16_t* out, uint32_t frames) {
    if (out != nullptr) {
      from.Fill(out, frames);
    } else {
      int16_t unheard[256];
      for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min<uint32_t>(frames - done, std::size(unheard));
        from.Fill(unheard, n);
        done += n;
      }
    }
    playedTotal.fetch_add(frames, std::memory_order_relaxed);
  }
};

WaveOut::WaveOut(const char* backendName, WaveOutKind kind, MessageQueue& notify)
    : impl_(std::make_unique<Impl>(backendName, kind, notify)), where_(backendName) {}

WaveOut::~WaveOut() = default;

bool WaveOut::Prepare(WaveHeader& header) {
  if (header.data == nullptr && header.bufferLength != 0) return false;
  return ChangeFlags(header, Queued, [](uint32_t flags) { return flags | WHDR_PREPARED; }).has_value();
}

bool WaveOut::Unprepare(WaveHeader& header) {
  return ChangeFlags(header, Queued, [](uint32_t flags) { return flags & ~WHDR_PREPARED; }).has_value();
}

bool WaveOut::Write(WaveHeader& header) {
  // Announced before `closed` is tested, so that Close either sees this
  // write and lets it finish, or this write sees the device closed: a header
  // pushed after Close had given everything back would stay queued for good.
  impl_->writers.fetch_add(1, std::memory_order_seq_cst);
  const bool accepted = !impl_->closed.load(std::memory_order_seq_cst) && Queue(header);
  impl_->writers.fetch_sub(1, std::memory_order_release);
  return accepted;
}

bool WaveOut::Queue(WaveHeader& header) {
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
  impl_->started = false;
  impl_->inUnderrun = false;
}

uint64_t WaveOut::PlayedSamples() const {
  if (const SampleSource* source = impl_->source.load(std::memory_order_acquire)) return source->Handed();
  return impl_->played.load(std::memory_order_relaxed);
}

void WaveOut::PlayFrom(SampleSource* source) { impl_->source.store(source, std::memory_order_release); }

void WaveOut::CountMissedFrames(uint32_t frames) {
  if (impl_->source.load(std::memory_order_relaxed) == nullptr) return;
  impl_->underrun.fetch_add(frames, std::memory_order_relaxed);
  impl_->underrunEvents.fetch_add(1, std::memory_order_relaxed);
}

uint64_t WaveOut::UnderrunSamples() const { return impl_->underrun.load(std::memory_order_relaxed); }

WaveOutTotals WaveOut::Totals() const {
  return {impl_->playedTotal.load(std::memory_order_relaxed), impl_->underrun.load(std::memory_order_relaxed),
          impl_->underrunEvents.load(std::memory_order_relaxed)};
}

uint64_t WaveOut::PumpedSamples() const { return impl_->pumped.load(std::memory_order_relaxed); }

void WaveOut::Close() {
  {
    std::lock_guard lock(impl_->device);
    if (impl_->closed.load(std::memory_order_relaxed)) return;
    impl_->closed.store(true, std::memory_order_seq_cst);
    // A write that got past its test of `closed` is pushing now.
    while (impl_->writers.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
    // The owner may unprepare and free its headers once Close returns, but
    // it is not told about them any more.
    impl_->GiveBackAll(false);
  }
  StopPump();
}

const char* WaveOut::BackendName() const { return impl_->backendName; }

WaveOutKind WaveOut::Kind() const { return impl_->kind; }

void WaveOut::Pull(int16_t* out, uint32_t frames, uint32_t channels) {
  impl_->pumped.fetch_add(frames, std::memory_order_relaxed);
  std::unique_lock lock(impl_->device, std::try_to_lock);
  const bool playing = lock.owns_lock() && !impl_->closed.load(std::memory_order_relaxed);
  SampleSource* source = impl_->source.load(std::memory_order_acquire);
  if (playing && source != nullptr) {
    impl_->PlaySource(*source, out, frames);
    if (out != nullptr) SpreadOverChannels(out, frames, channels);
    return;
  }
  const uint32_t done = playing ? impl_->PlayQueued(out, frames) : 0;
  // Only an empty queue counts as an underrun; silence during a reset or after close does not.
  if (playing) impl_->CountSilence(done, frames - done);
  if (out == nullptr) return;
  std::memset(out + done, 0, (frames - done) * sizeof(int16_t));
  SpreadOverChannels(out, frames, channels);
}

}  // namespace tavolin
