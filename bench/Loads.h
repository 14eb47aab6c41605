#pragma once
// The engine settings of the heaviest benchmark cases, shared by the
// window's pipeline and the plugin's.

#include <atomic>

#include "audio/MasterChain.h"
#include "synth/Synth.h"

namespace tavolin {

// Ring mode with every per-sample feature on.
inline void SwitchOnRingAllEffects(Synth& s, MasterChain& master) {
  constexpr auto relaxed = std::memory_order_relaxed;
  s.switches.RingOn.store(1, relaxed);
  s.switches.ArpeggioOn.store(1, relaxed);
  s.switches.VoiceResoOn.store(1, relaxed);
  s.switches.TimedResoOn.store(1, relaxed);
  s.params.ModPower.store(0.5, relaxed);
  s.params.Distortion.store(2000.0, relaxed);
  master.HowlingOn.store(1, relaxed);
  master.DistortionOn.store(1, relaxed);
  master.LPFResoOn.store(1, relaxed);
}

}  // namespace tavolin
