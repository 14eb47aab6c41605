#pragma once
// The vocoder's keys on the main window: Shift+VK_OEM_5 loads a modulator
// from a WAVE file, Shift+VK_OEM_7 plays it from its first sample.

#include "midi/player/LoadTurns.h"
#include "synth/ModulatorHandOff.h"

class QWidget;

namespace tavolin {

// Releases the current modulator, then asks for a WAVE file and loads it,
// stopped. Cancelled: the modulator stays released. A file that cannot be
// used is refused with a message that names it and says why. Asked for while
// a load runs, all of it waits for that load (see LoadTurns).
void OpenVocoderWave(ModulatorHandOff& modulator, LoadTurns& loads, QWidget* window);

}  // namespace tavolin
