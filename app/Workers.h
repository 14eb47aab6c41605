#pragma once
#include "app/App.h"

namespace tavolin {

// [audio thread] The audio thread: one block per buffer the device gives back.
void waveOutFiller(App& app);

// The sequencer thread.
void ProcessMidi(App& app);

}  // namespace tavolin
