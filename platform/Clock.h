#pragma once
// The millisecond counter that the engine reads for vibrato, the timed filter
// sweep and the song clock. Unsigned 32-bit, wrapping, like the counter the
// engine was written for.

#include <atomic>
#include <cstdint>

#include "platform/WaveFormat.h"

namespace tavolin {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() const = 0;
  // The counter itself, when reading the clock is one load and no call; the
  // renderer then reads it inline for every sample of every voice (a quarter
  // of a million times per block with vibrato on). It is as recent as the
  // last call of Milliseconds(), so such a reader makes one before it relies
  // on it. Null for clocks that must be called.
  virtual const std::atomic<uint32_t>* Counter() const { return nullptr; }
};

// The system's steady clock (never jumps with wall-clock changes), read from
// the system on every call: no thread ticks it, so a program at rest lets the
// processor sleep. The counter holds the latest reading that any caller took
// and only moves forward.
class SteadyClock final : public Clock {
 public:
  SteadyClock();
  SteadyClock(const SteadyClock&) = delete;
  SteadyClock& operator=(const SteadyClock&) = delete;
  uint32_t Milliseconds() const override;
  const std::atomic<uint32_t>* Counter() const override { return &latest_; }

 private:
  mutable std::atomic<uint32_t> latest_;
};

// Time that only moves when told: tests and the offline renderer.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 0) : now_(start) {}
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;
  uint32_t Milliseconds() const override { return now_.load(std::memory_order_relaxed); }
  const std::atomic<uint32_t>* Counter() const override { return &now_; }
  void Set(uint32_t ms) { now_.store(ms, std::memory_order_relaxed); }
  void Advance(uint32_t ms) { now_.fetch_add(ms, std::memory_order_relaxed); }

 private:
  std::atomic<uint32_t> now_;
};

// The millisecond counter's reading at `samples` samples of virtual time.
inline uint32_t VirtualMilliseconds(uint64_t samples) { return static_cast<uint32_t>(samples * 1000 / kSampleRate); }

}  // namespace tavolin
