// The FFT: its direction and scaling rules, the round trip, the
// sample conversions, and golden hashes of the tables and one transform
// (the system's sine may differ in the last bit elsewhere: the hashes say
// whether this machine builds the same tables; the values were checked
// against a plain evaluation of the formulas, and change only on purpose).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "spectral/Fft.h"

namespace tavolin {
namespace {

constexpr int32_t n = kFftSize;

FftTables Tables() {
  FftTables t;
  EXPECT_TRUE(FftInit(t, n));
  return t;
}

std::vector<Complex> Impulse() {
  std::vector<Complex> x(n);
  x[0].re = 1.0;
  return x;
}

// A signal with energy in every bin, real and imaginary parts differing.
std::vector<Complex> Signal() {
  std::vector<Complex> x(n);
  for (int32_t j = 0; j < n; ++j) x[j] = {std::sin(j * 0.37) + 0.25 * (j % 7), std::cos(j * 1.3) - 0.1 * (j % 5)};
  return x;
}

uint64_t Fnv1a(const void* data, size_t bytes, uint64_t h = 1469598103934665603u) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < bytes; ++i) {
    h ^= p[i];
    h *= 1099511628211u;
  }
  return h;
}

TEST(Fft, ImpulseGivesAFlatSpectrumScaledOnlyForDirectionsOneAndMinusTwo) {
  const FftTables t = Tables();
  struct Case {
    int32_t dir;
    double bin;
  };
  for (const Case c : {Case{1, 1.0 / 1024}, Case{2, 1.0}, Case{-1, 1.0}, Case{-2, 1.0 / 1024}, Case{0, 1.0}}) {
    std::vector<Complex> x = Impulse();
    EXPECT_EQ(Fft(t, c.dir, x.data(), n), 0);
    for (int32_t k = 0; k < n; ++k) {
      ASSERT_EQ(x[k].re, c.bin) << "dir " << c.dir << " bin " << k;
      ASSERT_EQ(x[k].im, 0.0) << "dir " << c.dir << " bin " << k;
    }
  }
}

TEST(Fft, ForwardThenInverseReturnsTheInput) {
  const FftTables t = Tables();
  const std::vector<Complex> in = Signal();
  std::vector<Complex> x = in;
  Fft(t, 1, x.data(), n);
  Fft(t, -1, x.data(), n);
  for (int32_t j = 0; j < n; ++j) {
    ASSERT_NEAR(x[j].re, in[j].re, 1e-12) << j;
    ASSERT_NEAR(x[j].im, in[j].im, 1e-12) << j;
  }
}

TEST(Fft, OtherSizesAreRefusedAndLeaveDataAndTablesAlone) {
  FftTables t;
  std::vector<Complex> x = Signal();
  EXPECT_EQ(Fft(t, 1, x.data(), n), 1);  // no tables yet
  for (int32_t bad : {1000, 0, -1024, 3}) EXPECT_FALSE(FftInit(t, bad)) << bad;
  EXPECT_EQ(t.size, 0);
  ASSERT_TRUE(FftInit(t, n));
  EXPECT_FALSE(FftInit(t, 1000));
  EXPECT_EQ(t.size, n);
  for (int32_t other : {512, 2048, 0}) EXPECT_EQ(Fft(t, 1, x.data(), other), 1) << other;
  const std::vector<Complex> in = Signal();
  // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): untouched to the bit, signed zeros and NaNs included
  EXPECT_EQ(std::memcmp(x.data(), in.data(), n * sizeof(Complex)), 0);
}

TEST(Fft, GoldenTablesAndTransform) {
  const FftTables t = Tables();
  EXPECT_NEAR(t.sine[512], 3.2385e-15, 5e-16);  // sin of the short half turn; of pi it would be 1.2e-16
  uint64_t h = Fnv1a(t.sine.get(), n * sizeof(double));
  h = Fnv1a(t.cosine.get(), n * sizeof(double), h);
  h = Fnv1a(t.bitReverse.get(), n * sizeof(int32_t), h);
  EXPECT_EQ(h, 10927492492239197468u) << "tables";
  std::vector<Complex> x = Signal();
  Fft(t, 1, x.data(), n);
  EXPECT_EQ(Fnv1a(x.data(), n * sizeof(Complex)), 16332874533870088258u) << "transform";
}

TEST(Fft, SampleConversionsShrinkTruncateAndWrap) {
  struct Case {
    int16_t in, out;
  };
  for (const Case c : {Case{32767, 32766}, Case{-32768, -32767}, Case{1, 0}, Case{-1, 0}, Case{-2, -1}, Case{0, 0}}) {
    Complex z;
    ToComplex(&c.in, &z, 1);
    EXPECT_EQ(z.im, 0.0);
    int16_t s = 7;
    ToSamples(&z, &s, 1);
    EXPECT_EQ(s, c.out) << c.in;
  }
  struct Wrap {
    double re;
    int16_t out;
  };
  for (const Wrap w : {Wrap{1.5, -16386}, Wrap{-1.5, 16386}, Wrap{NAN, 0}, Wrap{1e300, -1}}) {
    const Complex z{w.re, 5.0};
    int16_t s = 7;
    ToSamples(&z, &s, 1);
    EXPECT_EQ(s, w.out) << w.re;
  }
}

}  // namespace
}  // namespace tavolin
