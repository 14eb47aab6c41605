#include "midi/input/MidiLogRing.h"

namespace tavolin {

void MidiLogRing::Log(uint8_t status, uint8_t data1, uint8_t data2) {
  if (!open_.load(std::memory_order_acquire)) return;
  if (!queue_.TryPush(MidiLogEntry{status, data1, data2})) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
  }
  // Paired with the fence in ClearDoorbell: either the drain sees this push,
  // or this thread sees the doorbell cleared and rings again.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!rung_.exchange(true, std::memory_order_relaxed)) doorbell_.Ring();
}

void MidiLogRing::ClearDoorbell() {
  doorbell_.Clear();
  rung_.store(false, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_seq_cst);
}

void MidiLogRing::Discard() {
  Drain([](const MidiLogEntry&) {});
}

void MidiLogRing::Open() {
  Discard();
  open_.store(true, std::memory_order_release);
}

void MidiLogRing::Close() { open_.store(false, std::memory_order_release); }

}  // namespace tavolin
