#pragma once
// What the note sources (the sequencer and the MIDI input) need of the sound
// output; the host gives it to them, whichever path feeds the device.

#include <cstdint>

namespace tavolin {

class OutputPosition {
 public:
  virtual ~OutputPosition() = default;
  // Any thread, lock-free: the samples played so far. A voice started now
  // takes this modulo 1024 as its start offset.
  virtual uint64_t Played() const = 0;
  // After a song load: the output's buffers queued again.
  virtual void Requeue() = 0;
};

// A position its owner sets, where messages come in at samples known
// beforehand rather than as a device plays (a plugin host's input, the
// renderer's exact positions): a new voice starts at that sample of its
// block. Nothing is queued, so there is nothing to requeue.
class PlacedPosition final : public OutputPosition {
 public:
  uint64_t Played() const override { return at; }
  void Requeue() override {}
  uint64_t at = 0;
};

}  // namespace tavolin
