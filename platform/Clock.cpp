#include "platform/Clock.h"

#include <ctime>

namespace tavolin {

namespace {

uint32_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1'000'000u);
}

}  // namespace

SteadyClock::SteadyClock() : latest_(MonotonicMilliseconds()) {}

uint32_t SteadyClock::Milliseconds() const {
  const uint32_t now = MonotonicMilliseconds();
  uint32_t seen = latest_.load(std::memory_order_relaxed);
  // Forward only (in the wrapping sense): a caller whose reading is older
  // than one stored meanwhile leaves the newer one in place.
  while (static_cast<int32_t>(now - seen) > 0 && !latest_.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
  }
  return now;
}

}  // namespace tavolin
