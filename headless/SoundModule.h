#pragma once
// tavolin-headless at work: the engine started as the window program starts
// it, MIDI input open, the sources connected, until a termination signal.

#include "headless/HeadlessOptions.h"

namespace tavolin {

// Runs until SIGTERM, SIGINT or SIGHUP; the exit code: 0 after a clean
// end, 1 when something could not be started (said on stderr).
int RunSoundModule(const HeadlessOptions& options);

}  // namespace tavolin
