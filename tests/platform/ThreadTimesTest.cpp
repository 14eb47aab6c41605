#include "platform/ThreadTimes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

uint64_t OwnCpuNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(now.tv_nsec);
}

// Works until the calling thread has used `howLong` of CPU time, however
// long that takes on a busy machine.
void Spin(std::chrono::milliseconds howLong) {
  const uint64_t until = OwnCpuNanoseconds() + static_cast<uint64_t>(howLong.count()) * 1'000'000u;
  volatile uint64_t sink = 0;
  while (OwnCpuNanoseconds() < until) sink = sink + 1;
}

TEST(ThreadTimes, UserTimeGrowsWhileTheThreadWorks) {
  ThreadCpuTimes before;
  ASSERT_TRUE(ReadThreadTimes(CurrentThreadId(), before));
  Spin(std::chrono::milliseconds(200));
  ThreadCpuTimes after;
  ASSERT_TRUE(ReadThreadTimes(CurrentThreadId(), after));
  // 200 ms of CPU time, counted in whole clock ticks: at least 100 ms, in 100 ns units.
  EXPECT_GE(after.user + after.kernel - before.user - before.kernel, 1'000'000u);
  EXPECT_GE(after.user, before.user);
  EXPECT_GE(after.kernel, before.kernel);
}

// Another thread is measured by its id, not the caller's times.
TEST(ThreadTimes, MeasuresAnotherThreadByItsId) {
  std::atomic<ThreadId> id{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    id.store(CurrentThreadId());
    Spin(std::chrono::milliseconds(200));
    done.store(true);
    while (done.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (!done.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ThreadCpuTimes theirs;
  ThreadCpuTimes mine;
  EXPECT_NE(id.load(), CurrentThreadId());
  EXPECT_TRUE(ReadThreadTimes(id.load(), theirs));
  EXPECT_TRUE(ReadThreadTimes(CurrentThreadId(), mine));
  EXPECT_GE(theirs.user + theirs.kernel, 1'000'000u);
  done.store(false);
  worker.join();
}

TEST(ThreadTimes, AThreadThatIsGoneIsAnErrorAndLeavesTheTimes) {
  std::atomic<ThreadId> id{0};
  std::thread([&] { id.store(CurrentThreadId()); }).join();
  // join() returns a moment before the system drops the thread's entry (a
  // long moment under an emulator).
  ThreadCpuTimes scratch;
  ASSERT_TRUE(test::WaitUntil([&] { return !ReadThreadTimes(id.load(), scratch); }));
  ThreadCpuTimes times{7, 9};
  EXPECT_FALSE(ReadThreadTimes(id.load(), times));
  EXPECT_FALSE(ReadThreadTimes(0, times));
  EXPECT_FALSE(ReadThreadTimes(-5, times));
  EXPECT_EQ(times.kernel, 7u);
  EXPECT_EQ(times.user, 9u);
}

}  // namespace
}  // namespace tavolin
