#pragma once
// Tests release whatever voice a slot holds; the program always names the
// voice it found.

#include "synth/VoiceHandOff.h"

namespace tavolin {

inline void ReleaseAnyVoice(VoiceSlot& slot) {
  VoiceId id = 0;
  if (FindActiveVoice(slot, id)) ReleaseVoice(slot, id);
}

}  // namespace tavolin
