#include "ui/MidiLogRing.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace tavolin {

MidiLogRing::MidiLogRing() { doorbell_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

MidiLogRing::~MidiLogRing() {
  if (doorbell_ >= 0) close(doorbell_);
}

void MidiLogRing::Log(uint8_t status, uint8_t data1, uint8_t data2) {
  if (!open_.load(std::memory_order_acquire)) return;
  if (!queue_.TryPush(MidiLogEntry{status, data1, data2})) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
  }
  // Paired with the fence in ClearDoorbell: either the drain sees this push,
  // or this thread sees the doorbell cleared and rings again.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (doorbell_ < 0 || rung_.exchange(true, std::memory_order_relaxed)) return;
  const uint64_t one = 1;
  // A full counter only means a drain is already pending.
  [[maybe_unused]] const ssize_t written = write(doorbell_, &one, sizeof one);
}

void MidiLogRing::ClearDoorbell() {
  if (doorbell_ >= 0) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(doorbell_, &count, sizeof count);
  }
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
