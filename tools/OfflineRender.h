#pragma once
// The offline renderer: the program's own start-up, ring, block pipeline,
// converter and sequencer in virtual time (tools/VirtualTimeRun.h),
// recording every sample the virtual device plays into a WAVE file.

#include <cstdint>
#include <string>

#include "host/StderrReporters.h"
#include "platform/WindowPort.h"
#include "tools/RenderOptions.h"

namespace tavolin {

struct RenderResult {
  bool ok = false;       // false: the reason has been reported
  uint64_t samples = 0;  // written to the file
};

// Loads, plays and records the song as the settings say. Messages go to stderr.
RenderResult RenderSongToWave(const RenderSettings& settings, StderrSongReporter& reporter, WindowPort& window,
                              bool showProgress);

}  // namespace tavolin
