#include "ui/CpuLoad.h"

#include <cstdio>

namespace tavolin {

namespace {

constexpr uint64_t kUnitsPerMs = 10000;  // 100 ns units
constexpr uint32_t kSnapshotMs = 1000;

uint32_t High(uint64_t v) { return static_cast<uint32_t>(v >> 32); }
uint32_t Low(uint64_t v) { return static_cast<uint32_t>(v); }

// Milliseconds between two readings, on their low 32 bits.
uint32_t UsedMs(uint64_t later, uint64_t earlier) {
  return (Low(later) - Low(earlier)) / static_cast<uint32_t>(kUnitsPerMs);
}

}  // namespace

void PaintCpuLoad(StatusCanvas& canvas, CpuLoad& load, const std::array<ThreadId, 3>& threads, uint32_t tickNow) {
  uint32_t total = 0;
  char line[160];
  for (size_t n = 0; n < load.loads.size(); ++n) {
    ThreadLoad& t = load.loads[n];
    t.thread = threads[n];
    const int y = 13 * static_cast<int>(n);
    if (!ReadThreadTimes(t.thread, t.now)) {
      std::snprintf(line, sizeof line, "%s: Error", t.label);
      canvas.Text(512, y, line);
      continue;
    }
    const uint32_t k = UsedMs(t.last.kernel, t.before.kernel);
    const uint32_t u = UsedMs(t.last.user, t.before.user);
    std::snprintf(line, sizeof line, "%s: K=%09u %09u U=%09u %09u / [ms/s] K=%03u U=%03u", t.label, High(t.now.kernel),
                  Low(t.now.kernel), High(t.now.user), Low(t.now.user), k, u);
    canvas.Text(512, y, line);
    total += k + u;
  }
  std::snprintf(line, sizeof line, "Total CPULoad: %02u %%", total / 10);
  canvas.Text(512, 39, line);
  if (load.LastLoadSnapshot + kSnapshotMs < tickNow) {
    load.LastLoadSnapshot = tickNow;
    for (ThreadLoad& t : load.loads) {
      t.before = t.last;
      t.last = t.now;
    }
  }
}

}  // namespace tavolin
