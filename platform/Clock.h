#pragma once
// The millisecond counter that the engine reads for vibrato, the timed filter
// sweep and the song clock. Unsigned 32-bit, wrapping, like the counter the
// engine was written for.

#include <atomic>
#include <cstdint>
#include <thread>

namespace tavolin {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() const = 0;
  // The counter itself, when reading the clock is one load and no call; the
  // renderer then reads it inline for every sample of every voice (a quarter
  // of a million times per block with vibrato on). Null for clocks that must
  // be called.
  virtual const std::atomic<uint32_t>* Counter() const { return nullptr; }
};

// A clock that is one counter word, moved on by its owner.
class CounterClock : public Clock {
 public:
  CounterClock(const CounterClock&) = delete;
  CounterClock& operator=(const CounterClock&) = delete;
  uint32_t Milliseconds() const final { return now_.load(std::memory_order_relaxed); }
  const std::atomic<uint32_t>* Counter() const final { return &now_; }

 protected:
  explicit CounterClock(uint32_t start) : now_(start) {}
  std::atomic<uint32_t> now_;
};

// The system's steady clock (never jumps with wall-clock changes). A ticker
// thread refreshes the counter at every millisecond boundary, as the system
// timer the engine was written for does at 1 ms resolution.
class SteadyClock final : public CounterClock {
 public:
  SteadyClock();
  ~SteadyClock() override;

 private:
  std::atomic<bool> stop_{false};
  std::thread ticker_;
};

// Time that only moves when told: tests and the offline renderer.
class VirtualClock final : public CounterClock {
 public:
  explicit VirtualClock(uint32_t start = 0) : CounterClock(start) {}
  void Set(uint32_t ms) { now_.store(ms, std::memory_order_relaxed); }
  void Advance(uint32_t ms) { now_.fetch_add(ms, std::memory_order_relaxed); }
};

}  // namespace tavolin
