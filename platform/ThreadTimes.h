#pragma once
// CPU time that one thread of this process has spent in the kernel and in
// user mode, for the status display's load figures.

#include <cstdint>

namespace tavolin {

// The kernel's id of a thread (what gettid returns); 0 = no thread.
using ThreadId = int32_t;

ThreadId CurrentThreadId();

// Both in 100 ns units, counted since the thread started.
struct ThreadCpuTimes {
  uint64_t kernel = 0;
  uint64_t user = 0;
};

// False when the thread does not exist (or no longer does) or its times
// cannot be read; `times` is then left unchanged.
bool ReadThreadTimes(ThreadId thread, ThreadCpuTimes& times);

}  // namespace tavolin
