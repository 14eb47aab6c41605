#include "platform/Clock.h"

#include <ctime>

#include "platform/ThreadName.h"

namespace tavolin {

namespace {

uint64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(now.tv_nsec);
}

uint32_t ToMilliseconds(uint64_t ns) { return static_cast<uint32_t>(ns / 1'000'000u); }

}  // namespace

SteadyClock::SteadyClock() : CounterClock(ToMilliseconds(MonotonicNanoseconds())) {
  ticker_ = std::thread([this] {
    NameCurrentThread("Clock");
    while (!stop_.load(std::memory_order_relaxed)) {
      const uint64_t ns = MonotonicNanoseconds();
      now_.store(ToMilliseconds(ns), std::memory_order_relaxed);
      // Sleep to just past the next millisecond boundary.
      const uint64_t next = (ns / 1'000'000u + 1) * 1'000'000u + 20'000u;
      const timespec wake{static_cast<time_t>(next / 1'000'000'000u), static_cast<long>(next % 1'000'000'000u)};
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
    }
  });
}

SteadyClock::~SteadyClock() {
  stop_.store(true, std::memory_order_relaxed);
  ticker_.join();
}

}  // namespace tavolin
