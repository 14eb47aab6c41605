// The spectral low-pass, high-pass and vocoder on one block: the level a
// sine on a given bin comes out at (no mirroring of the upper half, stages
// chained in complex form), the block left alone with everything off, and
// the vocoder's separate weighting of real and imaginary parts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "spectral/SpectralStages.h"

namespace tavolin {
namespace {

constexpr int32_t n = kFftSize;

struct Stages {
  Stages() { EXPECT_TRUE(FftInit(tables, n)); }

  void Run(std::vector<int16_t>& block, const SpectralSettings& settings, const int16_t* frame = nullptr,
           bool spectrum = true) {
    SpectralStages(tables, block.data(), settings, frame,
                   {blockComplex.data(), modulatorComplex.data(), spectrum ? outputSpectrum.data() : nullptr,
                    modulatorSpectrum.data()});
  }

  FftTables tables;
  std::vector<Complex> blockComplex = std::vector<Complex>(n);
  std::vector<Complex> modulatorComplex = std::vector<Complex>(n);
  std::vector<double> outputSpectrum = std::vector<double>(n, 7.0);
  std::vector<double> modulatorSpectrum = std::vector<double>(n, 7.0);
};

std::vector<int16_t> SineOnBin(int32_t bin, double amplitude) {
  std::vector<int16_t> block(n);
  for (int32_t j = 0; j < n; ++j)
    block[j] = static_cast<int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * bin * j / n));
  return block;
}

// The amplitude of the block's component on `bin`.
double AmplitudeOnBin(const std::vector<int16_t>& block, int32_t bin) {
  double re = 0.0, im = 0.0;
  for (int32_t j = 0; j < n; ++j) {
    const double a = 2.0 * std::numbers::pi * bin * j / n;
    re += block[j] * std::cos(a);
    im += block[j] * std::sin(a);
  }
  return 2.0 * std::hypot(re, im) / n;
}

TEST(SpectralStages, FiltersWeightEachStoredBinWithoutMirroring) {
  constexpr double kShrink = 32767.0 / 32768.0;
  struct Case {
    bool lowPass, highPass;
    int32_t bin;
    double factor;  // the mean of the gains of the bin and of its mirror
  };
  for (const Case c : {
           Case{true, false, 10, (1.0 + 70.0 / 1015.0) / 2},           // about 0.5344
           Case{true, false, 300, (70.0 / 301.0 + 70.0 / 725.0) / 2},  // about 0.1645
           Case{false, true, 10, (11.0 / 70.0 + 1.0) / 2},             // about 0.5785
           Case{false, true, 300, 1.0},
           Case{true, true, 10, (11.0 / 70.0 + 70.0 / 1015.0) / 2},  // chained in complex form
       }) {
    Stages s;
    std::vector<int16_t> block = SineOnBin(c.bin, 10000.0);
    const double in = AmplitudeOnBin(block, c.bin);
    s.Run(block, {c.lowPass, 70.0, c.highPass, 70.0});
    EXPECT_NEAR(AmplitudeOnBin(block, c.bin) / in, c.factor * kShrink, 2e-4)
        << c.lowPass << c.highPass << " bin " << c.bin;
  }
}

// Where no window shows the spectrum it is not computed, and no sample changes.
TEST(SpectralStages, WithoutTheOutputSpectrumEveryStageGivesTheSameBlock) {
  const std::vector<int16_t> frame = SineOnBin(20, 3000.0);
  for (int stages = 0; stages < 8; ++stages) {
    const SpectralSettings settings{(stages & 1) != 0, 70.0, (stages & 2) != 0, 70.0};
    const int16_t* vocoder = (stages & 4) != 0 ? frame.data() : nullptr;
    Stages shown, hidden;
    std::vector<int16_t> a = SineOnBin(10, 10000.0);
    std::vector<int16_t> b = a;
    shown.Run(a, settings, vocoder);
    hidden.Run(b, settings, vocoder, false);
    EXPECT_EQ(a, b) << stages;
    EXPECT_EQ(hidden.outputSpectrum[5], 7.0) << stages;
  }
}

TEST(SpectralStages, EverythingOffLeavesTheBlockAndShowsItsSpectrum) {
  Stages s;
  std::vector<int16_t> block = SineOnBin(10, 10000.0);
  block[3] = 32767;  // would shrink to 32766 through a round trip
  const std::vector<int16_t> before = block;
  s.Run(block, {false, 70.0, false, 70.0});
  EXPECT_EQ(block, before);
  std::vector<Complex> x(n);
  ToComplex(before.data(), x.data(), n);
  Fft(s.tables, 1, x.data(), n);
  for (int32_t k = 0; k < n; ++k) ASSERT_EQ(s.outputSpectrum[k], x[k].re * x[k].re + x[k].im * x[k].im) << k;
  EXPECT_TRUE(std::all_of(s.modulatorSpectrum.begin(), s.modulatorSpectrum.end(), [](double v) { return v == 7.0; }));
}

TEST(SpectralStages, AllZeroModulatorFrameSilencesTheBlock) {
  Stages s;
  std::vector<int16_t> block = SineOnBin(10, 10000.0);
  const std::vector<int16_t> frame(n, 0);
  s.Run(block, {}, frame.data());
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](int16_t v) { return v == 0; }));
  for (int32_t k = 0; k < n; ++k) {
    ASSERT_EQ(s.outputSpectrum[k], 0.0) << k;
    ASSERT_EQ(s.modulatorSpectrum[k], 0.0) << k;
  }
}

// An impulse as modulator has real bins only (gain 500 x 32767/32768/1024)
// and zero imaginary ones: weighting the parts separately keeps only the
// even part of the block, x[j] + x[-j] over 2, where a complex product would
// keep the block's shape.
TEST(SpectralStages, VocoderWeightsRealAndImaginaryPartsSeparately) {
  Stages s;
  std::vector<int16_t> block(n);
  for (int32_t j = 0; j < n; ++j) block[j] = static_cast<int16_t>((j * 7919) % 20000 - 10000);
  const std::vector<int16_t> before = block;
  std::vector<int16_t> frame(n, 0);
  frame[0] = 32767;
  s.Run(block, {}, frame.data());
  const double gain = 500.0 * (32767.0 / 32768.0) / 1024.0;
  for (int32_t j = 0; j < n; ++j) {
    const double even = (before[j] + before[(n - j) % n]) / 2.0;
    ASSERT_NEAR(block[j], gain * even * (32767.0 / 32768.0), 1.0) << j;
  }
  EXPECT_NEAR(s.modulatorSpectrum[5], std::pow(32767.0 / 32768.0 / 1024.0, 2), 1e-18);
}

}  // namespace
}  // namespace tavolin
