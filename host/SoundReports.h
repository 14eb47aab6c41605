#pragma once
// What the program tells the user about the sound output while it runs and
// when it ends.

#include <string>

#include "host/App.h"
#include "platform/WaveOut.h"

namespace tavolin {

// Window thread, called every few hundred milliseconds: when the output
// device has stopped playing (its sound server went away), says so once on
// stderr and in a box that waits for no one.
void WatchSoundOutput(App& app);

// The line for stderr at exit: seconds played, underruns in samples and in
// stretches of silence.
std::string OutputReport(const WaveOutTotals& totals);

// The line for stderr at exit beside it: the audio thread's render time of
// a block at the median, the 99th percentile and the worst.
std::string BlockTimeReport(const BlockTimings& timings);

}  // namespace tavolin
