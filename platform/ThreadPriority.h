#pragma once
#include <thread>

namespace tavolin {

// Asks for real-time scheduling (SCHED_FIFO, the lowest priority) for a
// worker thread. Returns false when the system refuses; the thread then runs
// on at normal priority.
bool RaiseToRealtimePriority(std::thread& thread);

}  // namespace tavolin
