#pragma once
// The millisecond counter that the engine reads for vibrato, the timed filter
// sweep and the song clock. Unsigned 32-bit, wrapping, like the counter the
// engine was written for.

#include <atomic>
#include <cstdint>

namespace tavolin {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() const = 0;
};

// The steady system clock (never jumps with wall-clock changes).
class SteadyClock final : public Clock {
 public:
  uint32_t Milliseconds() const override;
};

// Time that only moves when told: tests and the offline renderer.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 0) : now_(start) {}
  uint32_t Milliseconds() const override { return now_.load(std::memory_order_relaxed); }
  void Set(uint32_t ms) { now_.store(ms, std::memory_order_relaxed); }
  void Advance(uint32_t ms) { now_.fetch_add(ms, std::memory_order_relaxed); }

 private:
  std::atomic<uint32_t> now_;
};

}  // namespace tavolin
