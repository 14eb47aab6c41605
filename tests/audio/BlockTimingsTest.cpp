// The block render-time histogram: percentiles within a bucket's width of
// the truth, the exact maximum, the ends of the range, and recording from
// other threads while a reader looks.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "audio/BlockTimings.h"

namespace tavolin {
namespace {

using std::chrono::nanoseconds;
using namespace std::chrono_literals;

// A percentile is the upper end of its bucket: at most 1/16 above the truth.
void ExpectWithinBucket(nanoseconds reported, nanoseconds truth) {
  EXPECT_GE(reported, truth);
  EXPECT_LE(reported.count(), truth.count() + truth.count() / 16);
}

TEST(BlockTimings, PercentilesAndMaxOfKnownSamples) {
  BlockTimings timings;
  for (int us = 1000; us >= 1; --us) timings.Record(std::chrono::microseconds(us));
  EXPECT_EQ(timings.Count(), 1000u);
  ExpectWithinBucket(timings.Percentile(0.5), 500us);
  ExpectWithinBucket(timings.Percentile(0.99), 990us);
  EXPECT_EQ(timings.Percentile(1.0), 1000us);
  EXPECT_EQ(timings.Max(), 1000us);
}

TEST(BlockTimings, BucketsHoldAcrossTheRange) {
  for (const int64_t ns : {3LL, 17LL, 1000LL, 123'457LL, 23'219'955LL, 4'000'000'001LL}) {
    BlockTimings timings;
    timings.Record(nanoseconds(ns));
    timings.Record(nanoseconds(4 * ns));
    SCOPED_TRACE(ns);
    ExpectWithinBucket(timings.Percentile(0.5), nanoseconds(ns));
  }
}

TEST(BlockTimings, EmptyNegativeAndBeyondTheLastBucket) {
  BlockTimings timings;
  EXPECT_EQ(timings.Percentile(0.5), 0ns);
  EXPECT_EQ(timings.Max(), 0ns);
  timings.Record(-5ns);  // a clock step backwards counts as no time
  timings.Record(10s);
  EXPECT_EQ(timings.Count(), 2u);
  EXPECT_EQ(timings.Percentile(0.0), 0ns);
  EXPECT_EQ(timings.Percentile(1.0), 10s);
  EXPECT_EQ(timings.Max(), 10s);
}

TEST(BlockTimings, WritersAndAReaderAtOnce) {
  BlockTimings timings;
  constexpr int kPerWriter = 20000;
  std::vector<std::thread> writers;
  writers.reserve(2);
  for (int w = 0; w < 2; ++w) {
    writers.emplace_back([&timings, w] {
      for (int i = 1; i <= kPerWriter; ++i) timings.Record(nanoseconds(i * (w + 1)));
    });
  }
  bool boundedByMax = true;
  while (timings.Count() < 2 * kPerWriter) {
    const nanoseconds p99 = timings.Percentile(0.99);  // before the maximum, which only grows
    boundedByMax = boundedByMax && p99 <= timings.Max();
  }
  for (auto& writer : writers) writer.join();
  EXPECT_TRUE(boundedByMax);
  EXPECT_EQ(timings.Max(), nanoseconds(2 * kPerWriter));
}

}  // namespace
}  // namespace tavolin
