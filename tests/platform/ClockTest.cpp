#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

// True when the clock's reading is not ahead of the monotonic clock, read after it.
bool NotAhead(const Clock& clock) {
  const uint32_t reading = clock.Milliseconds();
  const auto now =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<int32_t>(static_cast<uint32_t>(now.count()) - reading) >= 0;
}

// The monotonic clock in milliseconds, read on every call: it moves on and
// never runs ahead. Its counter, which the renderer reads inline, holds the
// latest reading.
TEST(SteadyClock, FollowsRealTimeInMilliseconds) {
  SteadyClock clock;
  const uint32_t before = clock.Milliseconds();
  bool neverAhead = true;
  bool counterHoldsReading = true;
  test::WaitUntil([&] {
    neverAhead = neverAhead && NotAhead(clock);
    const uint32_t reading = clock.Milliseconds();
    counterHoldsReading = counterHoldsReading && clock.Counter()->load() == reading;
    return reading - before >= 30;  // unsigned: right across a wrap too
  });
  EXPECT_TRUE(neverAhead);
  EXPECT_TRUE(counterHoldsReading);
  EXPECT_GE(clock.Milliseconds() - before, 30u);
  EXPECT_TRUE(NotAhead(clock));
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
