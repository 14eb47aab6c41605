#pragma once
// The block pipeline: howling feedback or silence, all 128 voices and the
// master chain, on a whole block or on a piece of it, and what follows a
// finished block. The ring renders whole blocks; the pull path renders the
// same stages piece by piece where that gives the same bits.

#include <array>

#include "audio/MasterChain.h"
#include "audio/WorkAreas.h"
#include "platform/Clock.h"
#include "synth/ModulatorHandOff.h"
#include "synth/ProcessVoice.h"
#include "synth/RenderVoice.h"
#include "synth/Synth.h"

namespace tavolin {

struct WaveRing;
class WindowPort;

// What a face does with the blocks besides rendering them: the ring it
// queues them on and records them from, and the window it shows them in.
// The plugin has none: its host takes the samples.
struct BlockFace {
  WaveRing& ring;
  WindowPort& window;
};

// Everything one block touches. The app builds it once; the functions below
// are called with it from the audio thread only.
struct BlockPipeline {
  Synth& synth;
  MasterChain& master;
  WorkAreas& areas;  // allocated
  const Clock& clock;
  VoiceRenderState& renderState;  // the renderer's own, audio thread only
  ModulatorHandOff& modulator;    // the vocoder's frames
  BlockFace* face = nullptr;      // null: the blocks are neither queued, recorded nor shown
  // False where no window shows the output spectrum (the offline renderer,
  // the plugin): the transform that only feeds it is skipped.
  bool spectrumShown = true;
};

using PieceVoices = std::array<PieceVoice, kVoiceCount>;

// [audio thread] Queues the face's ring's next buffer and renders the block
// it holds. Only with a face.
void RenderBlock(BlockPipeline& pipeline);

// How a block must be rendered.
enum class BlockRendering {
  // In pieces of any size, each just before it is handed out.
  Pieces,
  // In pieces, all before its first sample is handed out: a spectral stage
  // or the vocoder then transforms the whole block.
  PiecesThenTransform,
  // Voice after voice, each over the whole block: ring mode scales each
  // voice by its peak over the block, detune mode carries state between its
  // two renderings across the block, and the noise voices share one
  // generator, voice after voice.
  WholeVoices,
};

// [audio thread] How the block about to begin must be rendered, with `frame`
// its modulator frame (null: the vocoder does not play in it).
BlockRendering HowToRender(BlockPipeline& pipeline, const int16_t* frame);

// [audio thread] Renders `block` whole after `previous`, with this block's
// modulator frame (null: none).
void RenderWholeBlock(BlockPipeline& pipeline, int16_t* block, const int16_t* previous, const int16_t* frame);

// The same, in three steps that may lie apart in time: the block's start
// (howling feedback or silence), the voices of slots [from, to), and, after
// every slot, the master chain and the spectral stages.
void BeginWholeVoices(BlockPipeline& pipeline, int16_t* block, const int16_t* previous);
void RenderWholeVoices(BlockPipeline& pipeline, int16_t* block, uint32_t from, uint32_t to);
void EndWholeVoices(BlockPipeline& pipeline, int16_t* block, const int16_t* frame);

// [audio thread] Renders samples `range` of `block`, plain voices only, for
// a block that HowToRender lets have pieces.
void RenderBlockPiece(BlockPipeline& pipeline, int16_t* block, const int16_t* previous, SampleRange range,
                      PieceVoices& pieces);

// [audio thread] After the last piece: what a whole block does at its end
// (the low-pass's restart, the spectral stages with this block's modulator
// `frame`) and the voices' pieces end. Of a block already handed out only
// the spectrum is taken, with every stage off.
enum class PiecesWere { HandedOut, RenderedAhead };
void EndPieces(BlockPipeline& pipeline, int16_t* block, PieceVoices& pieces, PiecesWere were,
               const int16_t* frame = nullptr);

// [audio thread] A finished block goes to the face's display as block
// `index` (0..7) of the oscilloscope; every eighth asks for a repaint.
void PublishBlock(BlockPipeline& pipeline, const int16_t* block, uint32_t index);

}  // namespace tavolin
