#pragma once
// The ring's output devices: the one playing and those that a restart
// replaced because they had failed (a sound server that stopped or died).
// A replaced device is closed but stays allocated until shut-down, since the
// audio or sequencer thread may still hold the pointer it read from the ring
// a moment before. Window thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "audio/WaveRing.h"
#include "platform/Clock.h"
#include "platform/WaveOut.h"

namespace tavolin {

class OutputDevices {
 public:
  // Opens a device of the kind that start-up chose.
  using Opener = std::function<WaveOutOpenResult()>;

  // The stall is measured on `clock`, the time the device plays in: the
  // steady clock for a sound card, virtual time in tests.
  explicit OutputDevices(const Clock& clock) : clock_(clock) {}

  // The device that start-up opened, and how to open another like it.
  void Adopt(std::unique_ptr<WaveOut> device, Opener reopen);
  WaveOut* Current() const { return devices_.empty() ? nullptr : devices_.back().get(); }

  // The pull path: the current device and every one that replaces it play
  // what `source` gives; the ring's headers are not prepared on them.
  void PlayFrom(SampleSource* source);
  bool Pulling() const { return source_ != nullptr; }

  // The current device's clock has stood still for a while: it no longer
  // plays, and only a new device will.
  bool Failed();
  // True once per failure: the first call that finds the device failed.
  bool TakeNewFailure();

  // With the ring drained: opens a new device, prepares the headers on it
  // (on the pull path: has it play from the source),
  // points the ring at it and closes the failed one. False when no new
  // device opened (said on stderr, and the failure is reported anew); the
  // ring then stays as it was.
  bool Replace(WaveRing& ring);

  // What all the devices have played and missed since start-up.
  WaveOutTotals Totals() const;

  // Shut-down: takes every buffer back, unprepares the headers, closes and
  // frees every device. The ring points at none afterwards.
  void Release(WaveRing& ring);

 private:
  void Track(std::unique_ptr<WaveOut> device);

  const Clock& clock_;
  Opener reopen_;
  SampleSource* source_ = nullptr;
  std::vector<std::unique_ptr<WaveOut>> devices_;  // the current one last
  uint64_t lastPumped_ = 0;
  uint32_t lastMovedMs_ = 0;  // clock time when the current device last pulled samples
  bool reported_ = false;     // this failure has been reported
};

}  // namespace tavolin
