// The fast renderer against the formulas evaluated plainly: the same bits
// over a long render in which bend, shift, arpeggio and vibrato all change
// within blocks. A scripted clock drives the changes: every read (one per
// sample with vibrato on) moves time and, at set counts, a parameter.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "synth/RenderVoice.h"
#include "tests/synth/ReferenceRenderVoice.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

class ScriptedClock final : public Clock {
 public:
  explicit ScriptedClock(Synth& synth) : synth_(synth) {}
  const Clock& Reader() const { return *this; }
  void BetweenBlocks(int) {}
  uint32_t Milliseconds() const override {
    const uint64_t r = reads_++;
    SynthParams& p = synth_.params;
    if (r % 307 == 0) synth_.PitchBend.store(std::sin(static_cast<double>(r) * 1e-4) * 2.0, kRelaxed);
    if (r % 1013 == 0) synth_.PitchShift.store(static_cast<double>(r % 7) * 0.25 - 0.75, kRelaxed);
    if (r % 709 == 0) synth_.ChannelBend[r % 3].store(static_cast<double>(r % 5) - 2.0, kRelaxed);
    if (r % 4001 == 0) p.ArpeggioS1.store(static_cast<double>(3 + r % 3), kRelaxed);
    if (r % 6007 == 0) p.ArpeggioRate.store(0.01 + static_cast<double>(r % 4) * 0.02, kRelaxed);
    if (r % 5003 == 0) p.ModFact.store(0.25 + static_cast<double>(r % 3) * 0.5, kRelaxed);
    if (r % 3001 == 0) p.ModFreq.store(4.0 + static_cast<double>(r % 4), kRelaxed);
    if (r % 7001 == 0) p.ArpeggioS2.store(static_cast<double>(6 + r % 3), kRelaxed);
    if (r % 9001 == 0) p.ModPower.store((r / 9001) % 4 == 3 ? 0.0 : 0.3, kRelaxed);
    if (r % 20011 == 0) synth_.switches.ArpeggioOn.store(static_cast<int32_t>((r / 20011) % 2), kRelaxed);
    if (r % 30011 == 0) p.rectwFact.store(2.0 + static_cast<double>(r % 5), kRelaxed);
    return static_cast<uint32_t>(1000 + r / 44);
  }

 private:
  Synth& synth_;
  mutable uint64_t reads_ = 0;
};

using Renderer = void (*)(int16_t*, uint32_t, Voice&, const RenderInputs&, const std::atomic<int32_t>*);

template <typename TestClock>
struct ScriptedRun {
  Synth synth;
  TestClock clock{synth};
  VoiceRenderState state;
  RenderInputs in{synth, clock.Reader(), state};
  std::vector<Voice> voices;
  std::vector<int16_t> out;

  ScriptedRun() {
    synth.switches.ArpeggioOn.store(1, kRelaxed);
    synth.params.ModPower.store(0.3, kRelaxed);
    for (int ch = 0; ch < 16; ++ch) synth.ChannelLevel[ch].store(0.5 + ch * 0.03, kRelaxed);
    for (int32_t mode = -1; mode <= 16; ++mode) {
      for (int32_t channel : {LiveChannel, 1, 2}) {
        Voice v;
        v.active = 1;
        v.startOffset = (mode * 97 + channel) & 1023;
        v.freq = 110.0 + 37.0 * (mode + 1) + channel;
        v.amp = 9000.0 + 500.0 * mode;
        v.lifeLeft = v.lifeTotal = 0.2 + 0.05 * (channel % 3);
        v.mode = mode;
        v.gate = 1;
        v.channel = channel;
        v.sweepRate = 0.5;
        v.holdValue = 0.1;
        voices.push_back(v);
      }
    }
  }

  void Render(Renderer render, int blocks) {
    std::vector<int16_t> block(1024);
    for (int b = 0; b < blocks; ++b) {
      // The voice filter and its timed sweep on in some blocks, and
      // releases spread over the render.
      synth.switches.VoiceResoOn.store(b % 5 < 2, kRelaxed);
      synth.switches.TimedResoOn.store(b % 10 < 5, kRelaxed);
      std::fill(block.begin(), block.end(), int16_t(b * 13));
      for (size_t k = 0; k < voices.size(); ++k) {
        Voice& v = voices[k];
        if (!v.active) continue;
        if (b == static_cast<int>(20 + k * 3)) v.gate = 0;
        render(block.data(), 1024, v, in, nullptr);
      }
      out.insert(out.end(), block.begin(), block.end());
      clock.BetweenBlocks(b);
    }
  }
};

// A clock the renderer can read without a call (it takes its fast path for
// vibrato then): time and parameters move between blocks.
struct SteppedClock {
  explicit SteppedClock(Synth& synth) : synth_(synth) {}
  const Clock& Reader() const { return clock_; }
  void BetweenBlocks(int b) {
    clock_.Advance(static_cast<uint32_t>(b % 7 == 0 ? 1 : 23));
    if (b % 3 == 0) synth_.PitchBend.store(std::sin(b * 0.1), kRelaxed);
    if (b % 5 == 0) synth_.PitchShift.store((b % 4) * 0.5 - 1.0, kRelaxed);
    if (b % 11 == 0) synth_.params.ArpeggioS2.store(static_cast<double>(6 + b % 3), kRelaxed);
  }

 private:
  Synth& synth_;
  VirtualClock clock_{1000};
};

// A counter that moves only when the clock is read, as the steady clock's
// does, while time moves between blocks and the vibrato goes off and on: the
// renderer must read the clock before it trusts the counter.
class LaggingClock final : public Clock {
 public:
  explicit LaggingClock(Synth& synth) : synth_(synth) {}
  const Clock& Reader() const { return *this; }
  void BetweenBlocks(int b) {
    now_ += b % 7 == 0 ? 1 : 23;
    synth_.params.ModPower.store(b % 4 == 3 ? 0.0 : 0.3, kRelaxed);
  }
  uint32_t Milliseconds() const override {
    counter_.store(now_, kRelaxed);
    return now_;
  }
  const std::atomic<uint32_t>* Counter() const override { return &counter_; }

 private:
  Synth& synth_;
  uint32_t now_ = 1000;
  mutable std::atomic<uint32_t> counter_{0};
};

bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

template <typename TestClock>
void ExpectSameRender() {
  ScriptedRun<TestClock> fast, plain;
  fast.Render(&RenderVoice, 240);
  plain.Render(&ReferenceRenderVoice, 240);
  ASSERT_EQ(fast.out.size(), plain.out.size());
  size_t firstDifference = fast.out.size();
  for (size_t i = 0; i < fast.out.size() && firstDifference == fast.out.size(); ++i)
    if (fast.out[i] != plain.out[i]) firstDifference = i;
  EXPECT_EQ(firstDifference, fast.out.size()) << "block " << firstDifference / 1024;
  int ended = 0;
  for (size_t k = 0; k < fast.voices.size(); ++k) {
    const Voice& a = fast.voices[k];
    const Voice& b = plain.voices[k];
    SCOPED_TRACE(k);
    EXPECT_EQ(a.active, b.active);
    EXPECT_EQ(a.counter, b.counter);
    EXPECT_TRUE(SameBits(a.phase, b.phase));
    EXPECT_TRUE(SameBits(a.lifeLeft, b.lifeLeft));
    EXPECT_TRUE(SameBits(a.sweepPhase, b.sweepPhase));
    EXPECT_TRUE(SameBits(a.holdValue, b.holdValue));
    EXPECT_TRUE(SameBits(a.resoY, b.resoY));
    EXPECT_TRUE(SameBits(a.resoV, b.resoV));
    ended += a.active == 0;
  }
  EXPECT_GT(ended, 10);  // the releases ran out within the render
  long nonzero = 0;
  for (int16_t s : fast.out) nonzero += s != 0;
  EXPECT_GT(nonzero, static_cast<long>(fast.out.size() / 2));
}

// Every input changes within blocks, in the order the clock is read.
TEST(RenderEquivalence, FastRendererMatchesPlainFormulasWithinBlocks) { ExpectSameRender<ScriptedClock>(); }

// Vibrato on the fast path, with changes between blocks.
TEST(RenderEquivalence, FastRendererMatchesPlainFormulasOnAVirtualClock) { ExpectSameRender<SteppedClock>(); }

TEST(RenderEquivalence, FastRendererMatchesPlainFormulasOnACounterThatLags) { ExpectSameRender<LaggingClock>(); }

// The pulses of modes 0-2 take their level from an integer conversion of
// the phase where that gives the fraction's comparison exactly, and the
// plain formula elsewhere: both sides of every boundary, phases around the
// level changes, and the signs, infinities, NaN and magnitudes beyond the
// conversion's range.
TEST(RenderEquivalence, PulseLevelsMatchPlainFormulasAtEveryKindOfPhase) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double phases[] = {-3.5,   -1.0,   -0.99, -0.0, 0.0,          4.9e-324,
                           0.24,   0.99,   1.0,   2.75, 0x1p52 + 1.0, 0x1p62 + 1024.0,
                           0x1p63, 0x1p64, 1e300, kInf, -kInf,        std::numeric_limits<double>::quiet_NaN()};
  for (int32_t mode = 0; mode <= 2; ++mode) {
    for (double phase : phases) {
      Synth synth;
      VirtualClock clock;
      VoiceRenderState fastState, plainState;
      Voice fast;
      fast.active = fast.gate = 1;
      fast.channel = LiveChannel;
      fast.mode = mode;
      fast.freq = 2205.0;  // a phase step of 0.1
      fast.amp = 10000.0;
      fast.lifeLeft = fast.lifeTotal = 0.25;
      fast.phase = phase;
      Voice plain = fast;
      std::vector<int16_t> a(64), b(64);
      RenderVoice(a.data(), 64, fast, {synth, clock, fastState});
      ReferenceRenderVoice(b.data(), 64, plain, {synth, clock, plainState});
      EXPECT_EQ(a, b) << "mode " << mode << " phase " << phase;
      EXPECT_TRUE(SameBits(fast.phase, plain.phase));
    }
  }
}

}  // namespace
}  // namespace tavolin
