#pragma once
// The output position of the ring's device, for the note sources: the
// device it plays on now (a restart may replace it) and its buffers.

#include "audio/WaveRing.h"
#include "midi/OutputPosition.h"

namespace tavolin {

class RingPosition final : public OutputPosition {
 public:
  explicit RingPosition(WaveRing& ring) : ring_(ring) {}
  uint64_t Played() const override;
  void Requeue() override;

 private:
  WaveRing& ring_;
};

}  // namespace tavolin
