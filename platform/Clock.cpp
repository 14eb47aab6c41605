#include "platform/Clock.h"

#include <ctime>

namespace tavolin {

// clock_gettime goes through the vDSO: no system call, cheap enough to read per sample.
uint32_t SteadyClock::Milliseconds() const {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1'000'000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace tavolin
