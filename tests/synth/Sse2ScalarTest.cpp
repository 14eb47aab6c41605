// The SSE2 conversions and min/max and their portable twins, bit for bit, at
// the edges: NaNs, infinities, signed zeros, the int32 and int64 limits and
// their neighbours, halves, denormals. The conversions are held against what
// the instruction gives, so the table checks the twins on any processor;
// min/max against the instructions on x86-64.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "synth/Sse2Scalar.h"

namespace tavolin {
namespace {

using Limits = std::numeric_limits<double>;

double Bits(uint64_t b) { return std::bit_cast<double>(b); }

TEST(Sse2Scalar, InstructionsAndPortableTwinsGiveTheSameBits) {
  struct Edge {
    double x;
    int64_t trunc64;
    int32_t trunc32;
  };
  constexpr int64_t kNo64 = INT64_MIN;  // "integer indefinite"
  constexpr int32_t kNo32 = INT32_MIN;
  // clang-format off
  const Edge edges[] = {
      {0.0, 0, 0}, {-0.0, 0, 0}, {0.5, 0, 0}, {-0.9999999999999999, 0, 0}, {1.5, 1, 1}, {-2.5, -2, -2},
      {32767.5, 32767, 32767}, {-32768.5, -32768, -32768},
      {2147483647.9, 2147483647, INT32_MAX}, {2147483648.0, 2147483648, kNo32},
      {-2147483648.9, -2147483648, INT32_MIN}, {-2147483649.0, -2147483649, kNo32},
      {9223372036854774784.0, 9223372036854774784, kNo32}, {9223372036854775808.0, kNo64, kNo32},
      {-9223372036854775808.0, INT64_MIN, kNo32}, {-9223372036854777856.0, kNo64, kNo32},
      {1e300, kNo64, kNo32}, {-1e300, kNo64, kNo32}, {Limits::denorm_min(), 0, 0}, {-Limits::min(), 0, 0},
      {Limits::infinity(), kNo64, kNo32}, {-Limits::infinity(), kNo64, kNo32},
      {Limits::quiet_NaN(), kNo64, kNo32}, {Bits(0x7FF0000000000001u) /* signalling */, kNo64, kNo32},
      {Bits(0xFFF8000000000123u) /* negative, with payload */, kNo64, kNo32}};
  // clang-format on
  for (const Edge& a : edges) {
    EXPECT_EQ(TruncSd64(a.x), a.trunc64) << a.x;
    EXPECT_EQ(portable::TruncSd64(a.x), a.trunc64) << a.x;
    EXPECT_EQ(TruncSd32(a.x), a.trunc32) << a.x;
    EXPECT_EQ(portable::TruncSd32(a.x), a.trunc32) << a.x;
    for (const Edge& b : edges) {
      EXPECT_EQ(std::bit_cast<uint64_t>(MinSd(a.x, b.x)), std::bit_cast<uint64_t>(portable::MinSd(a.x, b.x)))
          << a.x << ", " << b.x;
      EXPECT_EQ(std::bit_cast<uint64_t>(MaxSd(a.x, b.x)), std::bit_cast<uint64_t>(portable::MaxSd(a.x, b.x)))
          << a.x << ", " << b.x;
    }
  }
}

}  // namespace
}  // namespace tavolin
