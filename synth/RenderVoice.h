#pragma once
// The voice renderer: one voice, one block, added into 16-bit samples with
// saturation, all in double precision and exact to the bit.

#include <atomic>
#include <cstdint>

#include "platform/Clock.h"
#include "synth/NoiseGenerator.h"
#include "synth/PitchMemo.h"
#include "synth/Synth.h"
#include "synth/Voice.h"

namespace tavolin {

// State that belongs to the renderer itself. Audio thread only.
struct VoiceRenderState {
  NoiseGenerator noise;
  PitchMemo memo;
};

// Everything a rendering reads besides the voice.
struct RenderInputs {
  const Synth& synth;
  const Clock& clock;  // vibrato and the timed filter sweep
  VoiceRenderState& state;
};

// The voice filter's switch and coefficients, which a block fixes from the
// voice's sweep and the clock as the block begins. A block rendered in
// pieces keeps them from the voice's first piece for the others.
struct VoiceFilter {
  bool known = false;
  bool on = false;
  double A = 0.0;
  double B = 0.0;
};

// [audio thread] Renders samples startOffset..count-1 of `voice` into
// `buffer` and advances its state; frees it (active 0) on the first sample
// after its release has run out. With `liveGate` the gate is read from there
// on every sample (another thread may clear it), else from the voice.
void RenderVoice(int16_t* buffer, uint32_t count, Voice& voice, const RenderInputs& in,
                 const std::atomic<int32_t>* liveGate = nullptr);

// [audio thread] The same, with the filter from `blockFilter` once known,
// else computed and kept there.
void RenderVoice(int16_t* buffer, uint32_t count, Voice& voice, const RenderInputs& in,
                 const std::atomic<int32_t>* liveGate, VoiceFilter& blockFilter);

}  // namespace tavolin
