#pragma once
// The voice renderer written straight from its formulas, with no memo and
// no specialisation: the yardstick the fast renderer must match bit for bit.

#include "synth/RenderVoice.h"

namespace tavolin {

void ReferenceRenderVoice(int16_t* buffer, uint32_t count, Voice& voice, const RenderInputs& in,
                          const std::atomic<int32_t>* liveGate = nullptr);

}  // namespace tavolin
