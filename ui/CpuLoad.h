#pragma once
// The CPU load lines of the status display: kernel and user time of the
// window thread ("Main"), the sequencer ("MIDI") and the audio thread
// ("WFill"), and the CPU milliseconds each used in the last complete
// snapshot interval of at least a second.

#include <array>
#include <cstdint>

#include "platform/ThreadTimes.h"
#include "ui/StatusCanvas.h"

namespace tavolin {

struct ThreadLoad {
  ThreadId thread = 0;
  const char* label;
  ThreadCpuTimes now;
  ThreadCpuTimes last;    // at the last snapshot
  ThreadCpuTimes before;  // at the snapshot before it
};

// Window thread only; lives as long as the window.
struct CpuLoad {
  std::array<ThreadLoad, 3> loads{{{0, "Main", {}, {}, {}}, {0, "MIDI", {}, {}, {}}, {0, "WFill", {}, {}, {}}}};
  uint32_t LastLoadSnapshot = 0;  // ms
};

// Reads the three threads' times, draws their lines at (512, 0), (512, 13),
// (512, 26) and the total at (512, 39), and takes a snapshot when more than
// 1000 ms have passed since the last. A thread id of 0 or a thread whose
// times cannot be read shows "<label>: Error".
void PaintCpuLoad(StatusCanvas& canvas, CpuLoad& load, const std::array<ThreadId, 3>& threads, uint32_t tickNow);

}  // namespace tavolin
