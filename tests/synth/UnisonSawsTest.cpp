// The vector form of the unison sum against the scalar one, lane by lane,
// over counters that wrap, tiny and huge periods and non-finite ones.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "synth/UnisonSaws.h"

namespace tavolin {
namespace {

TEST(UnisonSaws, VectorSumsEqualScalarSumsBitForBit) {
  if (!__builtin_cpu_supports("avx")) GTEST_SKIP() << "no AVX on this processor";
  std::mt19937_64 random(7);
  const double specials[] = {1e-300, 3e-9,        1.0, 100.0, 1e300, std::numeric_limits<double>::infinity(),
                             -45.0,  std::nan("")};
  for (int trial = 0; trial < 20000; ++trial) {
    UnisonSaws saws;
    for (int k = 0; k < 8; ++k) {
      saws.offset[k] = static_cast<uint32_t>(random() % 64);
      saws.period[k] = trial % 10 == 0 ? specials[random() % 8] : 1.0 + static_cast<double>(random() % 100000) / 7.0;
    }
    const uint32_t n =
        trial % 3 == 0 ? UINT32_MAX - static_cast<uint32_t>(random() % 80) : static_cast<uint32_t>(random());
    double sums[4];
    SumUnisonSawsAvx(saws, n, sums);
    for (uint32_t lane = 0; lane < 4; ++lane) {
      const double scalar = SumUnisonSaws(saws, n + lane);
      // Which NaN an operation passes on is the compiler's choice (it may
      // swap the operands of an addition); any NaN sample becomes 0.
      if (std::isnan(scalar) && std::isnan(sums[lane])) continue;
      ASSERT_EQ(std::bit_cast<uint64_t>(sums[lane]), std::bit_cast<uint64_t>(scalar))
          << "trial " << trial << " lane " << lane << ": " << sums[lane] << " vs " << scalar;
    }
  }
}

}  // namespace
}  // namespace tavolin
