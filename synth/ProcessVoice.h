#pragma once
// Puts one voice into the block being prepared: rendered once (plain), twice
// at two detuned frequencies (detune mode) or twice into scratch buffers
// whose renormalised product is added (ring mode).

#include <cstdint>

#include "synth/RenderVoice.h"
#include "synth/Voice.h"

namespace tavolin {

// Ring mode's work areas, allocated once at start-up: two blocks of samples
// and one of doubles, each 1024 long.
struct RingBuffers {
  int16_t* scratchA;
  int16_t* scratchB;
  double* product;
};

// [audio thread] Adds the voice in `slot` into the 1024 samples of `block`
// and writes its advanced state back, unless the voice was killed or
// replaced meanwhile. A free slot adds nothing.
void ProcessVoice(int16_t* block, VoiceSlot& slot, const RenderInputs& in, const RingBuffers& ring);

}  // namespace tavolin
