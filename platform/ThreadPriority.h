#pragma once
#include <thread>

namespace tavolin {

// Asks for real-time scheduling (SCHED_FIFO, the lowest priority) for a
// worker thread. Returns false when the system refuses; the thread then runs
// on at normal priority.
bool RaiseToRealtimePriority(std::thread& thread);

// While it lives, the calling thread runs at normal priority (SCHED_OTHER)
// if it ran at a real-time one, which its end gives back. For long work on a
// real-time thread (reading and converting a file): a FIFO thread is not
// preempted by one of equal priority, so on a shared core it would hold up
// the audio thread for as long as the work takes.
class NormalPriorityScope {
 public:
  NormalPriorityScope();
  ~NormalPriorityScope();
  NormalPriorityScope(const NormalPriorityScope&) = delete;
  NormalPriorityScope& operator=(const NormalPriorityScope&) = delete;

 private:
  bool lowered_ = false;
  int policy_ = 0;  // the real-time policy and priority to give back
  int priority_ = 0;
};

}  // namespace tavolin
