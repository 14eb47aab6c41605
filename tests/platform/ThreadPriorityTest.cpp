#include "platform/ThreadPriority.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <future>
#include <thread>

namespace tavolin {
namespace {

TEST(ThreadPriority, RaisesToTheLowestFifoPriorityOrLeavesTheThreadAsItWas) {
  std::promise<void> finish;
  std::thread worker([done = finish.get_future()]() mutable { done.wait(); });
  const bool raised = RaiseToRealtimePriority(worker);
  int policy = -1;
  sched_param param{};
  ASSERT_EQ(pthread_getschedparam(worker.native_handle(), &policy, &param), 0);
  if (raised) {
    EXPECT_EQ(policy, SCHED_FIFO);
    EXPECT_EQ(param.sched_priority, sched_get_priority_min(SCHED_FIFO));  // below the sound server's threads
  } else {
    EXPECT_EQ(policy, SCHED_OTHER);  // refused: the thread runs on at normal priority
  }
  finish.set_value();
  worker.join();

  std::thread none;
  EXPECT_FALSE(RaiseToRealtimePriority(none));
}

}  // namespace
}  // namespace tavolin
