// The renderer's pinned numbers: shapes and periods, start offset, envelope,
// saturation, the filter, vibrato threshold and the silent modes.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "synth/RenderVoice.h"
#include "synth/ResonantLowPass.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

struct RenderRig {
  Synth synth;
  VirtualClock clock;
  VoiceRenderState state;
  RenderInputs in{synth, clock, state};
  std::vector<int16_t> buffer = std::vector<int16_t>(1024, 0);

  void Render(Voice& v) { RenderVoice(buffer.data(), 1024, v, in); }
};

// A held live voice in `mode` at `freq`, gain 1 x amp.
Voice MakeVoice(int32_t mode, double freq, double amp = 10000.0) {
  Voice v;
  v.active = 1;
  v.freq = freq;
  v.amp = amp;
  v.lifeLeft = v.lifeTotal = 0.25;
  v.mode = mode;
  v.gate = 1;
  v.channel = LiveChannel;
  v.sweepRate = 0.5;
  return v;
}

TEST(RenderVoice, SquareAt441HzIs50LowThen50HighSamples) {
  RenderRig rig;
  Voice v = MakeVoice(0, 441.0);
  rig.Render(v);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(rig.buffer[i], (i / 50) % 2 == 0 ? -5000 : 5000) << i;
}

TEST(RenderVoice, TriangleAt441HzHasPeriod100StartingLow) {
  RenderRig rig;
  Voice v = MakeVoice(4, 441.0);
  rig.Render(v);
  EXPECT_EQ(rig.buffer[0], -5000);
  for (int i = 0; i < 900; ++i) ASSERT_NEAR(rig.buffer[i], rig.buffer[i + 100], 1) << i;
  EXPECT_EQ(rig.buffer[50], 5000);  // the top half-way through
  EXPECT_EQ(v.counter, 2048u);      // two steps per sample
}

TEST(RenderVoice, StartOffsetLeavesEarlierSamplesAndIsClearedAfter) {
  RenderRig rig;
  std::fill(rig.buffer.begin(), rig.buffer.end(), int16_t{7});
  Voice v = MakeVoice(0, 441.0);
  v.startOffset = 300;
  rig.Render(v);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(rig.buffer[i], 7) << i;
  EXPECT_EQ(rig.buffer[300], 7 - 5000);  // the waveform starts there
  EXPECT_EQ(v.startOffset, 0);
  EXPECT_EQ(v.counter, 724u);
}

TEST(RenderVoice, HeldVoiceKeepsFullEnvelopeForever) {
  RenderRig rig;
  Voice v = MakeVoice(3, 300.0);
  for (int b = 0; b < 50; ++b) rig.Render(v);
  EXPECT_EQ(v.active, 1);
  EXPECT_EQ(v.lifeLeft, v.lifeTotal);
}

TEST(RenderVoice, ReleaseLasts11025SamplesAndFreesOnTheFirstBelowZero) {
  RenderRig rig;
  Voice v = MakeVoice(0, 441.0, 10000.0);
  v.gate = 0;
  std::vector<int16_t> out;
  for (int b = 0; b < 11 && v.active; ++b) {
    std::fill(rig.buffer.begin(), rig.buffer.end(), int16_t{1});
    rig.Render(v);
    out.insert(out.end(), rig.buffer.begin(), rig.buffer.end());
  }
  EXPECT_EQ(v.active, 0);
  EXPECT_EQ(v.startOffset, 0);
  // Samples 0..11024 carry the voice; the rest of the last block is untouched.
  EXPECT_EQ(out[0], 1 - 5000);  // gain 1 on the first
  EXPECT_EQ(out[1], static_cast<int16_t>(1 - std::trunc(5000.0 * (0.25 - 1.0 / 44100) / 0.25)));
  EXPECT_NE(out[11024], 1);
  for (size_t i = 11025; i < out.size(); ++i) ASSERT_EQ(out[i], 1) << i;
}

TEST(RenderVoice, MixSaturatesAtEachAddition) {
  RenderRig rig;
  Voice a = MakeVoice(0, 441.0, 60000.0);  // +/-30000
  Voice b = MakeVoice(0, 441.0, 60000.0);
  rig.Render(a);
  rig.Render(b);
  EXPECT_EQ(rig.buffer[0], -32768);
  EXPECT_EQ(rig.buffer[50], 32767);
}

TEST(RenderVoice, NoiseLeavesCounterAndPhase) {
  RenderRig rig;
  Voice v = MakeVoice(5, 440.0);
  v.counter = 17;
  v.phase = 0.25;
  rig.Render(v);
  EXPECT_EQ(v.counter, 17u);
  EXPECT_EQ(v.phase, 0.25);
  int distinct = 0;
  for (int i = 1; i < 1024; ++i) distinct += rig.buffer[i] != rig.buffer[i - 1];
  EXPECT_GT(distinct, 1000);
}

TEST(RenderVoice, FallingSineAt440FallsSilentAt22000Samples) {
  RenderRig rig;
  Voice v = MakeVoice(14, 440.0);
  std::vector<int16_t> out;
  for (int b = 0; b < 30; ++b) {
    std::fill(rig.buffer.begin(), rig.buffer.end(), int16_t{0});
    rig.Render(v);
    out.insert(out.end(), rig.buffer.begin(), rig.buffer.end());
  }
  EXPECT_EQ(v.counter, 22000u);
  EXPECT_EQ(v.active, 1);
  bool soundBefore = false;
  for (int i = 21900; i < 22000; ++i) soundBefore |= out[i] != 0;
  EXPECT_TRUE(soundBefore);
  for (size_t i = 22000; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
}

TEST(RenderVoice, ModesBeyond14AreSilentButKeepTheirSlot) {
  for (int32_t mode : {15, 64, 127, -1}) {
    RenderRig rig;
    Voice v = MakeVoice(mode, 440.0);
    rig.Render(v);
    for (int16_t s : rig.buffer) ASSERT_EQ(s, 0);
    EXPECT_EQ(v.active, 1);
    v.gate = 0;
    for (int b = 0; b < 11; ++b) rig.Render(v);
    EXPECT_EQ(v.active, 0) << "ends when its release runs out";
  }
}

TEST(RenderVoice, HoldNoiseDrawsFirstValueOnSampleTruncPPlusOne) {
  RenderRig rig;
  Voice v = MakeVoice(13, 441.0);  // P = 100
  v.holdValue = 0.125;
  rig.Render(v);
  for (int i = 0; i <= 100; ++i) ASSERT_EQ(rig.buffer[i], 1250) << i;
  EXPECT_NE(rig.buffer[101], 1250);
  for (int i = 102; i < 203; ++i) ASSERT_EQ(rig.buffer[i], rig.buffer[101]) << i;
  EXPECT_NE(rig.buffer[203], rig.buffer[101]);
}

TEST(RenderVoice, VibratoStartsAtModPowerOneHundredth) {
  auto render = [](double modPower) {
    RenderRig rig;
    rig.synth.params.ModPower.store(modPower, kRelaxed);
    rig.clock.Set(50);  // sin of the tick is not 0
    Voice v = MakeVoice(3, 440.0);
    rig.Render(v);
    return v.phase;
  };
  const double plain = render(0.0);
  EXPECT_EQ(render(0.0099), plain);
  EXPECT_NE(render(static_cast<double>(0.01f)), plain);
}

TEST(RenderVoice, FilterCoefficientsAtSweepZeroAndHalf) {
  const LowPassCoefficients at0 = ResonantLowPass(SweptCutoff(500.0, 5000.0, 0.0), 10.0);
  EXPECT_EQ(SweptCutoff(500.0, 5000.0, 0.0), 500.0);
  EXPECT_EQ(at0.A, 0.9925171906236596);
  EXPECT_EQ(std::sqrt(at0.A), 0.9962515699479021);
  EXPECT_EQ(at0.B, 0.00506773275343364);
  const LowPassCoefficients atHalf = ResonantLowPass(SweptCutoff(500.0, 5000.0, 0.5), 10.0);
  EXPECT_NEAR(SweptCutoff(500.0, 5000.0, 0.5), 5500.0, 1e-9);
  EXPECT_EQ(atHalf.A, 0.9206229836644633);
  EXPECT_EQ(atHalf.B, 0.5612833349647377);
}

TEST(RenderVoice, FilterInputWrapsAt16Bits) {
  RenderRig rig;
  rig.synth.switches.VoiceResoOn.store(1, kRelaxed);
  Voice v = MakeVoice(0, 441.0, -80000.0);  // first sample -0.5 x -80000 = 40000
  rig.Render(v);
  const double B = ResonantLowPass(500.0, 10.0).B;
  EXPECT_EQ(rig.buffer[0], static_cast<int16_t>(std::trunc(-25536.0 * B)));
  EXPECT_LT(rig.buffer[0], 0);
}

TEST(RenderVoice, ZeroReleaseTimePlaysFullUntilReleasedThenEnds) {
  RenderRig rig;
  Voice v = MakeVoice(0, 441.0);
  v.lifeLeft = v.lifeTotal = 0.0;
  rig.Render(v);
  EXPECT_EQ(rig.buffer[0], -5000);
  EXPECT_EQ(v.active, 1);
  v.gate = 0;
  std::fill(rig.buffer.begin(), rig.buffer.end(), int16_t{0});
  rig.Render(v);
  EXPECT_EQ(v.active, 0);
  EXPECT_NE(rig.buffer[0], 0);
  EXPECT_EQ(rig.buffer[1], 0);
}

TEST(RenderVoice, SequencerVoiceFollowsItsChannelBendAndLevel) {
  RenderRig rig;
  rig.synth.ChannelLevel[3].store(0.5, kRelaxed);
  rig.synth.PitchBend.store(12.0, kRelaxed);  // live voices only
  Voice v = MakeVoice(0, 441.0);
  v.channel = 3;
  rig.Render(v);
  EXPECT_EQ(rig.buffer[0], -2500);
  EXPECT_EQ(rig.buffer[50], 2500);
}

TEST(RenderVoice, NonFiniteValuesGiveDefinedSamples) {
  RenderRig rig;
  Voice v = MakeVoice(3, 440.0, std::nan(""));
  rig.Render(v);
  for (int16_t s : rig.buffer) ASSERT_EQ(s, 0);
  rig.synth.params.ArpeggioRate.store(0.0, kRelaxed);
  rig.synth.switches.ArpeggioOn.store(1, kRelaxed);
  Voice w = MakeVoice(3, 440.0, 1e300);
  rig.Render(w);
  EXPECT_EQ(rig.buffer[1], -32768);
}

// A unison ratio of 0 (a cleared field applied) makes a saw's period 0:
// the division gives an infinity or NaN, and the sample is still defined.
TEST(RenderVoice, UnisonRatioZeroGivesDefinedSamples) {
  for (int32_t resonance : {0, 1}) {
    RenderRig rig;
    rig.synth.switches.VoiceResoOn.store(resonance, kRelaxed);
    rig.synth.UnisonRatio[3].store(0.0, kRelaxed);
    rig.synth.UnisonOffset[5].store(-1, kRelaxed);  // 4294967295 added to the counter
    Voice v = MakeVoice(9, 440.0);
    rig.Render(v);
    for (int16_t s : rig.buffer) ASSERT_EQ(s, 0) << "resonance " << resonance;
  }
}

// Without the voice filter (whose coefficients are set once per call) the
// voice's state carries everything: one long call equals block-sized calls.
TEST(RenderVoice, SplitCallsEqualOneLongCall) {
  for (int32_t mode = 0; mode <= 15; ++mode) {
    RenderRig whole, split;
    whole.synth.switches.ArpeggioOn.store(1, kRelaxed);
    split.synth.switches.ArpeggioOn.store(1, kRelaxed);
    Voice a = MakeVoice(mode, 523.0), b = a;
    a.startOffset = b.startOffset = 100;
    a.gate = b.gate = 0;
    a.lifeLeft = b.lifeLeft = 0.05;  // ends within the render
    std::vector<int16_t> longBuffer(4096, 3), parts(4096, 3);
    RenderVoice(longBuffer.data(), 4096, a, whole.in);
    for (int k = 0; k < 4 && b.active; ++k) RenderVoice(parts.data() + 1024 * k, 1024, b, split.in);
    EXPECT_EQ(longBuffer, parts) << mode;
    EXPECT_EQ(a.counter, b.counter);
    EXPECT_EQ(a.active, 0);
    EXPECT_EQ(b.active, 0);
  }
}

}  // namespace
}  // namespace tavolin
