#pragma once
// The block pipeline: howling feedback or silence, all 128 voices and the
// master chain, on a whole block or on a piece of it, and what follows a
// finished block. The ring renders whole blocks; the pull path renders the
// same stages piece by piece where that gives the same bits.

#include <array>

#include "audio/MasterChain.h"
#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "platform/Clock.h"
#include "platform/WindowPort.h"
#include "synth/ModulatorHandOff.h"
#include "synth/ProcessVoice.h"
#include "synth/RenderVoice.h"
#include "synth/Synth.h"

namespace tavolin {

// Everything one block touches. The app builds it once; the functions below
// are called with it from the audio thread only.
struct BlockPipeline {
  WaveRing& ring;
  Synth& synth;
  MasterChain& master;
  WorkAreas& areas;  // allocated
  const Clock& clock;
  WindowPort& window;
  VoiceRenderState& renderState;  // the renderer's own, audio thread only
  ModulatorHandOff& modulator;    // the vocoder's frames
  // False where no window shows the output spectrum (the offline renderer):
  // the transform that only feeds it is skipped.
  bool spectrumShown = true;
};

using PieceVoices = std::array<PieceVoice, kVoiceCount>;

// [audio thread] Queues the next buffer and renders the block it holds.
void RenderBlock(BlockPipeline& pipeline);

// [audio thread] Whether the block about to begin must be rendered whole:
// a spectral stage or the vocoder (`frame`, this block's modulator frame)
// transforms the whole block, ring mode scales each voice by its peak over
// the block, detune mode carries state between its two renderings across
// the block, and the noise voices share one generator, voice after voice.
bool NeedsWholeBlock(BlockPipeline& pipeline, const int16_t* frame);

// [audio thread] Renders `block` whole after `previous`, with this block's
// modulator frame (null: none).
void RenderWholeBlock(BlockPipeline& pipeline, int16_t* block, const int16_t* previous, const int16_t* frame);

// [audio thread] Renders samples `range` of `block`, plain voices only, for
// a block that NeedsWholeBlock let through.
void RenderBlockPiece(BlockPipeline& pipeline, int16_t* block, const int16_t* previous, SampleRange range,
                      PieceVoices& pieces);

// [audio thread] After the last piece: what a whole block does at its end
// (the low-pass's restart, the output spectrum) and the voices' pieces end.
void EndPieces(BlockPipeline& pipeline, int16_t* block, PieceVoices& pieces);

// [audio thread] A finished block goes to the display as block `index` (0..7)
// of the oscilloscope; every eighth asks for a repaint.
void PublishBlock(BlockPipeline& pipeline, const int16_t* block, uint32_t index);

}  // namespace tavolin
