#pragma once
// The block pipeline: queue the next buffer of the ring, then refill it with
// howling feedback or silence, all 128 voices and the master chain.

#include "audio/MasterChain.h"
#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "platform/Clock.h"
#include "platform/WindowPort.h"
#include "synth/ModulatorHandOff.h"
#include "synth/RenderVoice.h"
#include "synth/Synth.h"

namespace tavolin {

// Everything one block touches. The app builds it once; RenderBlock is
// called with it from the audio thread only.
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

// [audio thread] Queues the next buffer and renders the block it holds.
void RenderBlock(BlockPipeline& pipeline);

// Any thread: stops every voice at once (each slot keeps its other fields).
void ClearVoiceTable(VoiceTable& voices);

}  // namespace tavolin
