#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>

namespace tavolin {

bool RaiseToRealtimePriority(std::thread& thread) {
  // A middle priority: above every normal thread, below the system's own
  // real-time work (and JACK's, which runs near the top).
  const int low = sched_get_priority_min(SCHED_FIFO);
  const int high = sched_get_priority_max(SCHED_FIFO);
  if (low < 0 || high < 0 || !thread.joinable()) return false;
  sched_param param{};
  param.sched_priority = low + (high - low) / 2;
  return pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &param) == 0;
}

}  // namespace tavolin
