#pragma once
// Puts one voice into the block being prepared: rendered once (plain), twice
// at two detuned frequencies (detune mode) or twice into scratch buffers
// whose renormalised product is added (ring mode).

#include <cstdint>

#include "synth/RenderVoice.h"
#include "synth/Voice.h"
#include "synth/VoiceHandOff.h"

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

// What a block rendered in pieces keeps of one slot from piece to piece, so
// that the pieces add up to the bits of the whole block.
struct PieceVoice {
  VoiceTicket ticket = 0;  // the voice this block has rendered; 0: none yet
  int32_t mode = 0;        // its mode as the block found it
  VoiceFilter filter;      // its filter as its first piece fixed it
  bool ended = false;      // it ended in this block: its slot is held until the block ends
};

// Modes 5 and 13 draw from the one noise generator that all voices share,
// voice after voice through a whole block.
bool DrawsNoise(int32_t mode);

// [audio thread] Adds samples from..to-1 of the voice in `slot`, rendered
// plain, into `block`. A voice starts at max(startOffset, from); one that
// starts at `to` or later waits for a later piece, and a noise voice that
// this block has not rendered yet waits for the next block, which will be
// rendered whole.
void ProcessVoicePiece(int16_t* block, uint32_t from, uint32_t to, VoiceSlot& slot, const RenderInputs& in,
                       PieceVoice& piece);

// [audio thread] After the block's last piece: frees the slot of a voice
// that ended in the block, and forgets the block.
void EndVoicePieces(VoiceSlot& slot, PieceVoice& piece);

}  // namespace tavolin
