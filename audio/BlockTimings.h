#pragma once
// How long the audio thread takes to render its blocks: a fixed histogram of
// log-spaced buckets (16 per octave, so a percentile is within 6.25 % of the
// truth, from a nanosecond to about four seconds) plus the exact maximum.
// Built once at start-up; recording is a couple of relaxed atomic updates,
// with no lock, no allocation and no I/O, so the audio thread can afford it
// on every block. Any thread may read the figures meanwhile.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace tavolin {

class BlockTimings {
 public:
  static constexpr uint32_t kSubBuckets = 16;                 // per octave
  static constexpr uint32_t kBuckets = 29 * kSubBuckets + 1;  // below 2^32 ns, then one for all longer

  // [audio thread] One block's render time.
  void Record(std::chrono::nanoseconds elapsed);

  // Any thread.
  uint64_t Count() const;
  // The time that `fraction` (0 to 1) of the recorded blocks took at most:
  // the upper end of the bucket that holds that rank, never above the
  // maximum. 0 when nothing has been recorded.
  std::chrono::nanoseconds Percentile(double fraction) const;
  std::chrono::nanoseconds Max() const { return std::chrono::nanoseconds(max_.load(std::memory_order_relaxed)); }

 private:
  std::array<std::atomic<uint64_t>, kBuckets> counts_{};
  std::atomic<int64_t> max_{0};
};

// [audio thread] Adds the time from its construction to its end to `sum`:
// a block rendered in one go, or in pieces whose times make up the block's.
class RenderTimer {
 public:
  explicit RenderTimer(std::chrono::nanoseconds& sum) : sum_(sum), start_(std::chrono::steady_clock::now()) {}
  ~RenderTimer() { sum_ += std::chrono::steady_clock::now() - start_; }
  RenderTimer(const RenderTimer&) = delete;
  RenderTimer& operator=(const RenderTimer&) = delete;

 private:
  std::chrono::nanoseconds& sum_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace tavolin
