#include "audio/BlockTimings.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr uint32_t kSubBits = std::countr_zero(BlockTimings::kSubBuckets);

// Below 16 ns each nanosecond has its bucket; above, an octave is split into
// 16 equal parts by the four bits after the leading one.
uint32_t BucketOf(uint64_t ns) {
  const auto top = static_cast<uint32_t>(std::bit_width(ns));
  if (top <= kSubBits) return static_cast<uint32_t>(ns);
  const uint32_t shift = top - 1 - kSubBits;
  const auto index =
      static_cast<uint64_t>(shift + 1) * BlockTimings::kSubBuckets + ((ns >> shift) & (BlockTimings::kSubBuckets - 1));
  return static_cast<uint32_t>(std::min<uint64_t>(index, BlockTimings::kBuckets - 1));
}

uint64_t LowestOf(uint32_t bucket) {
  if (bucket < BlockTimings::kSubBuckets) return bucket;
  const uint32_t shift = bucket / BlockTimings::kSubBuckets - 1;
  return uint64_t{BlockTimings::kSubBuckets + bucket % BlockTimings::kSubBuckets} << shift;
}

}  // namespace

void BlockTimings::Record(std::chrono::nanoseconds elapsed) {
  const int64_t ns = std::max<int64_t>(elapsed.count(), 0);
  // The maximum first, the count released after it: a reader that sees the
  // count sees a maximum at least as high.
  int64_t longest = max_.load(kRelaxed);
  while (ns > longest && !max_.compare_exchange_weak(longest, ns, kRelaxed)) {
  }
  counts_[BucketOf(static_cast<uint64_t>(ns))].fetch_add(1, std::memory_order_release);
}

uint64_t BlockTimings::Count() const {
  uint64_t total = 0;
  for (const auto& count : counts_) total += count.load(std::memory_order_acquire);
  return total;
}

std::chrono::nanoseconds BlockTimings::Percentile(double fraction) const {
  const uint64_t total = Count();
  if (total == 0) return std::chrono::nanoseconds(0);
  const auto rank = std::max<uint64_t>(
      1, static_cast<uint64_t>(std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(total))));
  // Counts only grow while this runs, so the walk reaches `rank`.
  uint64_t seen = 0;
  uint32_t bucket = 0;
  for (; bucket + 1 < kBuckets; ++bucket) {
    seen += counts_[bucket].load(std::memory_order_acquire);
    if (seen >= rank) break;
  }
  // The last bucket holds everything longer: only the maximum bounds it.
  const int64_t highest = bucket + 1 < kBuckets ? static_cast<int64_t>(LowestOf(bucket + 1) - 1) : INT64_MAX;
  return std::chrono::nanoseconds(std::min(highest, max_.load(kRelaxed)));
}

}  // namespace tavolin
