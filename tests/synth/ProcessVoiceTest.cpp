// Plain, detune and ring processing of one voice from the table.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "synth/ProcessVoice.h"
#include "tests/synth/ReleaseAnyVoice.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

struct ProcessRig {
  Synth synth;
  VirtualClock clock;
  VoiceRenderState state;
  RenderInputs in{synth, clock, state};
  std::vector<int16_t> block = std::vector<int16_t>(1024, 0);
  std::vector<int16_t> scratchA = std::vector<int16_t>(1024), scratchB = std::vector<int16_t>(1024);
  std::vector<double> product = std::vector<double>(1024);
  RingBuffers ring{scratchA.data(), scratchB.data(), product.data()};

  int Start(int32_t mode, double freq, double amp, int32_t startOffset = 0) {
    NoteStart n;
    n.startOffset = startOffset;
    n.freq = freq;
    n.amp = amp;
    n.life = 0.25;
    n.sweepRate = 0.5;
    n.mode = mode;
    n.channel = 0;
    n.resetPhase2 = true;
    synth.ChannelLevel[0].store(1.0, kRelaxed);
    return StartVoice(synth.voices, n);
  }
  void Process(int slot) { ProcessVoice(block.data(), synth.voices[slot], in, ring); }
  VoiceSlot& Slot(int i) { return synth.voices[i]; }
};

TEST(ProcessVoice, FreeSlotAddsAndChangesNothing) {
  ProcessRig rig;
  std::fill(rig.block.begin(), rig.block.end(), int16_t{5});
  rig.Slot(3).freq.store(440.0, kRelaxed);
  rig.Slot(3).amp.store(1000.0, kRelaxed);
  for (int32_t ring : {0, 1}) {
    rig.synth.switches.RingOn.store(ring, kRelaxed);
    rig.Process(3);
    for (int16_t s : rig.block) ASSERT_EQ(s, 5);
    EXPECT_EQ(rig.Slot(3).counter.load(), 0u);
  }
}

TEST(ProcessVoice, PlainModeAdvancesTheSlotAndFreesItAtTheEnd) {
  ProcessRig rig;
  const int v = rig.Start(0, 441.0, 10000.0);
  rig.Process(v);
  EXPECT_EQ(rig.block[0], -5000);
  EXPECT_EQ(rig.Slot(v).counter.load(), 1024u);
  EXPECT_TRUE(IsActive(rig.Slot(v)));
  ReleaseAnyVoice(rig.Slot(v));
  for (int b = 0; b < 11; ++b) rig.Process(v);
  EXPECT_FALSE(IsActive(rig.Slot(v)));
}

TEST(ProcessVoice, DetuneAtFactorZeroAddsTheSameSamplesTwiceEachSaturating) {
  ProcessRig rig;
  rig.synth.switches.DetuneOn.store(1, kRelaxed);
  rig.synth.params.DetuneFact.store(0.0, kRelaxed);
  const int v = rig.Start(0, 441.0, 40000.0);  // +/-20000, twice
  rig.Process(v);
  EXPECT_EQ(rig.block[0], -32768);
  EXPECT_EQ(rig.block[50], 32767);
  EXPECT_EQ(rig.Slot(v).phase.load(), rig.Slot(v).phase2.load());

  ProcessRig twice;
  twice.synth.switches.DetuneOn.store(1, kRelaxed);
  twice.synth.params.DetuneFact.store(0.0, kRelaxed);
  const int w = twice.Start(0, 441.0, 20000.0);
  twice.Process(w);
  EXPECT_EQ(twice.block[0], -20000);
  EXPECT_EQ(twice.block[50], 20000);
}

TEST(ProcessVoice, DetuneKeepsTheUpwardPhaseInPhase2) {
  ProcessRig rig;
  rig.synth.switches.DetuneOn.store(1, kRelaxed);
  const int v = rig.Start(3, 440.0, 8000.0, 500);
  rig.Process(v);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(rig.block[i], 0) << i;
  EXPECT_NE(rig.block[500], 0);
  const VoiceSlot& s = rig.Slot(v);
  EXPECT_EQ(s.startOffset.load(), 0);
  EXPECT_EQ(s.counter.load(), 524u);
  const double fact = rig.synth.params.DetuneFact.load();
  EXPECT_NEAR(s.phase.load(), 524 * 2.0 * 440.0 * (1 - fact) / 44100.0, 1e-9);
  EXPECT_NEAR(s.phase2.load(), 524 * 2.0 * 440.0 * (1 + fact) / 44100.0, 1e-9);
}

TEST(ProcessVoice, RingTakesPrecedenceOverDetune) {
  ProcessRig both, ring;
  both.synth.switches.DetuneOn.store(1, kRelaxed);
  both.synth.switches.RingOn.store(1, kRelaxed);
  ring.synth.switches.RingOn.store(1, kRelaxed);
  const int v = both.Start(3, 300.0, 8000.0);
  ring.Start(3, 300.0, 8000.0);
  both.Process(v);
  ring.Process(v);
  EXPECT_EQ(both.block, ring.block);
  EXPECT_EQ(both.Slot(v).phase2.load(), 0.0);  // detune's upward phase untouched
  // The first rendering is at freq x (1 - DetuneFact).
  const double down = 300.0 * (1 - both.synth.params.DetuneFact.load());
  EXPECT_EQ(both.scratchA[1], static_cast<int16_t>(std::trunc(8000.0 * (2.0 / (44100.0 / down) / 2.0 - 0.5))));
}

TEST(ProcessVoice, RingRenormalisesThePeakTo6144) {
  ProcessRig rig;
  rig.synth.switches.RingOn.store(1, kRelaxed);
  const int v = rig.Start(6, 200.0, 300.0);  // quiet: the scale does not depend on amp
  rig.Process(v);
  double peak = 0.0;
  for (int i = 0; i < 1024; ++i) peak = std::max(peak, std::fabs(rig.product[i] * 32768.0));
  EXPECT_NEAR(peak, 6144.0, 1e-9);
  int16_t loudest = 0;
  for (int16_t s : rig.block) loudest = std::max<int16_t>(loudest, static_cast<int16_t>(std::abs(s)));
  EXPECT_TRUE(loudest == 6144 || loudest == 6143) << loudest;
  // The slot continues from the second rendering's phase.
  const double up = 200.0 * (1 + rig.synth.params.ringFact.load());
  EXPECT_NEAR(rig.Slot(v).phase.load(), 1024 * 2.0 * up / 44100.0, 1e-9);
}

TEST(ProcessVoice, RingSumWrapsInsteadOfSaturating) {
  ProcessRig rig;
  rig.synth.switches.RingOn.store(1, kRelaxed);
  // Mode 0 with both renderings at -0.5 x amp over the first samples: the
  // product is constant there, so every sample of it is a peak.
  const int v = rig.Start(0, 20.0, 10000.0);
  std::fill(rig.block.begin(), rig.block.end(), int16_t{30000});
  rig.Process(v);
  // 30000 + 6144 = 36144 wraps to 36144 - 65536.
  EXPECT_EQ(rig.block[0], static_cast<int16_t>(36144 - 65536));
  EXPECT_LT(rig.block[0], 0);
}

TEST(ProcessVoice, RingWithSilentProductAddsNothing) {
  ProcessRig rig;
  rig.synth.switches.RingOn.store(1, kRelaxed);
  const int v = rig.Start(20, 440.0, 10000.0);
  std::fill(rig.block.begin(), rig.block.end(), int16_t{-7});
  rig.Process(v);
  for (int16_t s : rig.block) ASSERT_EQ(s, -7);
  EXPECT_TRUE(IsActive(rig.Slot(v)));
}

TEST(ProcessVoice, DetuneAndRingDropTheFilterAndSweepStateEveryBlock) {
  for (int32_t ring : {0, 1}) {
    ProcessRig rig;
    rig.synth.switches.VoiceResoOn.store(1, kRelaxed);
    rig.synth.switches.DetuneOn.store(1, kRelaxed);
    rig.synth.switches.RingOn.store(ring, kRelaxed);
    const int v = rig.Start(13, 440.0, 10000.0);
    rig.Slot(v).holdValue.store(0.25, kRelaxed);
    rig.Process(v);
    EXPECT_EQ(rig.Slot(v).resoY.load(), 0.0);
    EXPECT_EQ(rig.Slot(v).resoV.load(), 0.0);
    EXPECT_EQ(rig.Slot(v).sweepPhase.load(), 0.0);
    EXPECT_EQ(rig.Slot(v).holdValue.load(), 0.25);
  }
}

TEST(ProcessVoice, DetuneRenderingsEndOnTheSameSample) {
  ProcessRig rig;
  rig.synth.switches.DetuneOn.store(1, kRelaxed);
  const int v = rig.Start(0, 441.0, 10000.0);
  ReleaseAnyVoice(rig.Slot(v));
  for (int b = 0; b < 10; ++b) rig.Process(v);
  EXPECT_TRUE(IsActive(rig.Slot(v)));
  std::fill(rig.block.begin(), rig.block.end(), int16_t{0});
  rig.Process(v);  // ends on its 11025th sample
  EXPECT_FALSE(IsActive(rig.Slot(v)));
  EXPECT_EQ(rig.Slot(v).counter.load(), 11025u);
  EXPECT_NE(rig.block[700], 0);
  for (int i = 785; i < 1024; ++i) ASSERT_EQ(rig.block[i], 0) << i;
}

// A clock that, on its n-th read (the renderer reads it on every sample
// while vibrato is on), kills the slot and optionally starts a new voice in
// it: exactly what another thread may do while a block renders.
class InterferingClock final : public Clock {
 public:
  InterferingClock(VoiceTable& table, int slot, int atRead, bool restart)
      : table_(table), slot_(slot), atRead_(atRead), restart_(restart) {}
  uint32_t Milliseconds() const override {
    if (++reads_ == atRead_) {
      KillVoice(table_[slot_]);
      if (restart_) {
        NoteStart n;
        n.freq = 1234.0;
        n.amp = 1.0;
        n.life = 0.75;
        n.mode = 2;
        startedAt_ = StartVoice(table_, n);
      }
    }
    return 0;
  }
  mutable int startedAt_ = -1;

 private:
  VoiceTable& table_;
  int slot_, atRead_;
  bool restart_;
  mutable int reads_ = 0;
};

TEST(ProcessVoice, KillDuringTheRenderIsHonouredAndANewClaimIsKept) {
  for (int mode = 0; mode < 3; ++mode) {
    for (bool restart : {false, true}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " restart " << restart);
      ProcessRig rig;
      rig.synth.switches.DetuneOn.store(mode == 1, kRelaxed);
      rig.synth.switches.RingOn.store(mode == 2, kRelaxed);
      rig.synth.params.ModPower.store(0.5, kRelaxed);
      const int v = rig.Start(3, 440.0, 8000.0);
      ReleaseAnyVoice(rig.Slot(v));  // the old voice's lifeLeft falls
      InterferingClock clock(rig.synth.voices, v, 700, restart);
      RenderInputs in{rig.synth, clock, rig.state};
      ProcessVoice(rig.block.data(), rig.Slot(v), in, rig.ring);
      const VoiceSlot& s = rig.Slot(v);
      if (!restart) {
        EXPECT_FALSE(IsActive(s));
        continue;
      }
      ASSERT_EQ(clock.startedAt_, v);
      EXPECT_TRUE(IsActive(s));
      EXPECT_EQ(s.freq.load(), 1234.0);
      EXPECT_EQ(s.lifeLeft.load(), 0.75);
      EXPECT_EQ(s.counter.load(), 0u);
      EXPECT_EQ(s.phase.load(), 0.0);
      EXPECT_EQ(s.startOffset.load(), 0);
    }
  }
}

}  // namespace
}  // namespace tavolin
