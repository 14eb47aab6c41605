#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>

namespace tavolin {

bool RaiseToRealtimePriority(std::thread& thread) {
  // The lowest real-time priority: above every normal thread, below every
  // other real-time thread. The sound server's and the device's callback
  // threads (JACK gives its clients' threads as little as 5) must finish
  // within one period of a few milliseconds, while the ring gives our
  // threads 186 ms of slack: outranking them would make them late.
  const int lowest = sched_get_priority_min(SCHED_FIFO);
  if (lowest < 0 || !thread.joinable()) return false;
  sched_param param{};
  param.sched_priority = lowest;
  return pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &param) == 0;
}

NormalPriorityScope::NormalPriorityScope() {
  sched_param param{};
  if (pthread_getschedparam(pthread_self(), &policy_, &param) != 0) return;
  if (policy_ != SCHED_FIFO && policy_ != SCHED_RR) return;
  priority_ = param.sched_priority;
  const sched_param normal{};
  lowered_ = pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal) == 0;
}

NormalPriorityScope::~NormalPriorityScope() {
  if (!lowered_) return;
  sched_param param{};
  param.sched_priority = priority_;
  // The thread got its real-time priority through this same call, so the
  // system lets it have it back.
  pthread_setschedparam(pthread_self(), policy_, &param);
}

}  // namespace tavolin
