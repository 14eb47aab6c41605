#include "host/RingPosition.h"

namespace tavolin {

uint64_t RingPosition::Played() const {
  const WaveOut* device = ring_.device.get();
  return device != nullptr ? device->PlayedSamples() : 0;
}

void RingPosition::Requeue() {
  // On the pull path the headers are not prepared: every write is refused.
  if (ring_.device != nullptr) WriteAllBuffers(ring_);
}

}  // namespace tavolin
