#pragma once
// The hand-over of MIDI log lines from the MIDI input thread to the window
// thread, without Qt. The input thread pushes the three bytes into a
// preallocated lock-free ring and rings an eventfd doorbell; the window
// thread hears the doorbell once however many messages came and drains the
// ring in one batch.
//
// States: closed (Log drops everything) -> Open() -> open (Log pushes; a full
// ring counts the message as dropped) -> Close() -> closed. A push that was
// already under way when Close() ran lands in the ring and is discarded by
// the next Open(), so a new window starts empty.

#include <atomic>
#include <cstdint>

#include "midi/input/MidiLogSink.h"
#include "platform/BoundedQueue.h"
#include "platform/Doorbell.h"

namespace tavolin {

struct MidiLogEntry {
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

class MidiLogRing final : public MidiLogSink {
 public:
  static constexpr size_t kCapacity = 8192;

  MidiLogRing() = default;
  MidiLogRing(const MidiLogRing&) = delete;
  MidiLogRing& operator=(const MidiLogRing&) = delete;

  // [MIDI input thread] never blocks, never allocates.
  void Log(uint8_t status, uint8_t data1, uint8_t data2) override;

  // Window thread.
  void Open();
  void Close();
  int DoorbellFd() const { return doorbell_.Fd(); }

  // Window thread, when the doorbell rang: empties the doorbell, then hands
  // every waiting entry to `line` in arrival order and returns how many
  // messages were dropped since the last drain because the ring was full.
  template <typename LineFn>
  uint64_t Drain(LineFn&& line) {
    ClearDoorbell();
    MidiLogEntry entry;
    while (queue_.TryPop(entry)) line(entry);
    return dropped_.exchange(0, std::memory_order_relaxed);
  }

 private:
  void ClearDoorbell();
  void Discard();

  BoundedQueue<MidiLogEntry> queue_{kCapacity};
  std::atomic<bool> open_{false};
  std::atomic<bool> rung_{false};  // a doorbell write is pending: later pushes need not ring
  std::atomic<uint64_t> dropped_{0};
  Doorbell doorbell_;
};

}  // namespace tavolin
