#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tavolin {
namespace {

TEST(SteadyClock, FollowsRealTimeInMilliseconds) {
  SteadyClock clock;
  const uint32_t before = clock.Milliseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint32_t elapsed = clock.Milliseconds() - before;  // unsigned: right across a wrap too
  // Each reading may be up to a tick behind.
  EXPECT_GE(elapsed, 28u);
  EXPECT_LT(elapsed, 60'000u);
}

TEST(VirtualClock, MovesOnlyWhenToldAndWraps) {
  VirtualClock clock(0xFFFFFFF0u);
  EXPECT_EQ(clock.Milliseconds(), 0xFFFFFFF0u);
  clock.Advance(0x20);
  EXPECT_EQ(clock.Milliseconds(), 0x10u);
  clock.Set(5);
  EXPECT_EQ(clock.Milliseconds(), 5u);
}

}  // namespace
}  // namespace tavolin
