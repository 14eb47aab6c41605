// The block pipeline: block choice, howling, clipping, the master low-pass,
// repaint pacing, ClearVoiceTable, and a pinned render.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

#include "synth/ResonantLowPass.h"
#include "tests/audio/PipelineRig.h"
#include "tests/synth/ReleaseAnyVoice.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

std::vector<int16_t> Copy(const int16_t* block) { return {block, block + kBlockSamples}; }

bool AllEqual(const int16_t* block, int16_t value) {
  return std::all_of(block, block + kBlockSamples, [&](int16_t s) { return s == value; });
}

TEST(RenderBlock, WritesTheBufferJustQueuedAndIsSilentWithoutVoices) {
  PipelineRig rig;
  std::fill_n(rig.ring.WaveData.get(), kRingSamples, int16_t{9});
  RenderBlock(rig.pipeline);
  EXPECT_EQ(rig.ring.RingIndex.load(), 1u);
  EXPECT_TRUE(AllEqual(rig.ring.Block(0), 0));  // (1 + 7) mod 8
  EXPECT_TRUE(AllEqual(rig.ring.Block(1), 9));
  for (int k = 1; k < 9; ++k) RenderBlock(rig.pipeline);
  EXPECT_EQ(rig.LastBlock(), rig.ring.Block(0));
  EXPECT_TRUE(AllEqual(rig.ring.Block(7), 0));
}

TEST(RenderBlock, HowlingFromSilenceConvergesOn128) {
  PipelineRig rig;
  rig.master.HowlingOn.store(1, kRelaxed);
  for (const int16_t expected : std::initializer_list<int16_t>{64, 96, 112, 120, 124, 126, 127, 128, 128, 128}) {
    RenderBlock(rig.pipeline);
    EXPECT_TRUE(AllEqual(rig.LastBlock(), expected)) << expected << " got " << rig.LastBlock()[0];
  }
}

TEST(RenderBlock, HowlingOfOneRepeatsThePreviousBlockAndVoicesAddOnTop) {
  PipelineRig rig;
  rig.master.HowlingOn.store(1, kRelaxed);
  rig.synth.params.Howling.store(1.0, kRelaxed);
  const int v = rig.Start(441.0, 0, 0, 2000.0);
  RenderBlock(rig.pipeline);
  const std::vector<int16_t> first = Copy(rig.LastBlock());
  EXPECT_EQ(first[0], -1000);
  ClearVoiceTable(rig.synth.voices);
  RenderBlock(rig.pipeline);
  EXPECT_EQ(Copy(rig.LastBlock()), first);
  EXPECT_FALSE(IsActive(rig.synth.voices[v]));
}

TEST(RenderBlock, HowlingOfZeroCutsTheFeedback) {
  PipelineRig rig;
  rig.master.HowlingOn.store(1, kRelaxed);
  RenderBlock(rig.pipeline);  // 64 everywhere
  rig.synth.params.Howling.store(0.0, kRelaxed);
  RenderBlock(rig.pipeline);
  EXPECT_TRUE(AllEqual(rig.LastBlock(), 0));
}

TEST(RenderBlock, ClippingKeepsTheTruncatedMargin) {
  for (double distortion : {0.0, 10000.0, 10000.9, -5.0}) {
    PipelineRig rig;
    rig.master.DistortionOn.store(1, kRelaxed);
    rig.synth.params.Distortion.store(distortion, kRelaxed);
    rig.Start(441.0, 0, 0, 100000.0);  // saturates at both ends
    RenderBlock(rig.pipeline);
    const int16_t* b = rig.LastBlock();
    const int margin = distortion > 0 ? 10000 : 0;
    EXPECT_EQ(*std::min_element(b, b + kBlockSamples), -32768 + margin) << distortion;
    EXPECT_EQ(*std::max_element(b, b + kBlockSamples), 32767 - margin) << distortion;
  }
}

TEST(RenderBlock, ClippingBeyondFullScaleEndsEverySampleAtHi) {
  PipelineRig rig;
  rig.master.DistortionOn.store(1, kRelaxed);
  rig.synth.params.Distortion.store(40000.0, kRelaxed);
  RenderBlock(rig.pipeline);
  EXPECT_TRUE(AllEqual(rig.LastBlock(), static_cast<int16_t>(32767 - 40000)));
}

TEST(RenderBlock, MasterLowPassContinuesFromItsStateAfterBeingOff) {
  PipelineRig rig;
  rig.Start(300.0, 0, 0, 20000.0);
  rig.master.LPFResoOn.store(1, kRelaxed);
  RenderBlock(rig.pipeline);
  const double y = rig.master.ResoY, v = rig.master.ResoV;
  EXPECT_NE(y, 0.0);
  rig.master.LPFResoOn.store(0, kRelaxed);
  RenderBlock(rig.pipeline);
  EXPECT_EQ(rig.master.ResoY, y);
  EXPECT_EQ(rig.master.ResoV, v);

  // From a stored state, silence rings on; from a fresh one it stays silent.
  MasterChain fresh, used;
  used.ResoY = y;
  used.ResoV = v;
  std::vector<int16_t> a(kBlockSamples, 0), b(kBlockSamples, 0);
  MasterLowPass(a.data(), fresh, 500.0, 10.0, {0, kBlockSamples});
  MasterLowPass(b.data(), used, 500.0, 10.0, {0, kBlockSamples});
  EXPECT_TRUE(AllEqual(a.data(), 0));
  EXPECT_EQ(b[0], static_cast<int16_t>(std::trunc(y + ResonantLowPass(500.0, 10.0).B * -y + v)));
}

TEST(RenderBlock, MasterLowPassRecoversFromARunawayState) {
  MasterChain chain;
  chain.ResoY = std::numeric_limits<double>::infinity();
  std::vector<int16_t> block(kBlockSamples, 100);
  MasterLowPass(block.data(), chain, 500.0, 10.0, {0, kBlockSamples});
  RestartRunawayLowPass(chain);
  EXPECT_EQ(chain.ResoY, 0.0);
  std::fill(block.begin(), block.end(), int16_t{100});
  MasterLowPass(block.data(), chain, 500.0, 10.0, {0, kBlockSamples});
  EXPECT_TRUE(std::isfinite(chain.ResoY));
  EXPECT_NE(block[kBlockSamples - 1], 0);
}

TEST(RenderBlock, AsksForOneRepaintPerEightBlocksWhileDisplayRefreshIsOn) {
  PipelineRig rig;
  for (int k = 0; k < 7; ++k) RenderBlock(rig.pipeline);
  EXPECT_EQ(rig.window.repaints.load(), 0);
  RenderBlock(rig.pipeline);
  EXPECT_EQ(rig.window.repaints.load(), 1);
  rig.master.DisplayRefreshOn.store(0, kRelaxed);
  for (int k = 0; k < 20; ++k) RenderBlock(rig.pipeline);
  EXPECT_EQ(rig.window.repaints.load(), 1);
  rig.master.DisplayRefreshOn.store(1, kRelaxed);
  for (int k = 0; k < 16; ++k) RenderBlock(rig.pipeline);
  EXPECT_EQ(rig.window.repaints.load(), 3);
}

TEST(RenderBlock, ClearVoiceTableStopsEveryVoiceAndKeepsTheirFields) {
  PipelineRig rig;
  for (int v = 0; v < kVoiceCount; ++v) rig.Start(200.0 + v, v % 15);
  RenderBlock(rig.pipeline);
  const uint32_t counter = rig.synth.voices[5].counter.load();
  ClearVoiceTable(rig.synth.voices);
  for (const VoiceSlot& s : rig.synth.voices) ASSERT_FALSE(IsActive(s));
  EXPECT_EQ(rig.synth.voices[5].counter.load(), counter);
  EXPECT_EQ(rig.synth.voices[5].freq.load(), 205.0);
  RenderBlock(rig.pipeline);
  EXPECT_TRUE(AllEqual(rig.LastBlock(), 0));
}

// The display's spectrum is the one just computed; the switches reach the
// spectral filters. Silence has an all-zero spectrum.
TEST(RenderBlock, SpectralStepFiltersByItsSwitchesAndPublishesTheSpectrum) {
  std::vector<int16_t> unfiltered;
  for (std::atomic<int32_t> MasterChain::*filter :
       {static_cast<std::atomic<int32_t> MasterChain::*>(nullptr), &MasterChain::LPFOn, &MasterChain::HPFOn}) {
    PipelineRig rig;
    RenderBlock(rig.pipeline);
    for (size_t k = 0; k < kBlockSamples; ++k) ASSERT_EQ(rig.areas.Display->outputSpectrum[k], 0.0) << k;
    if (filter) (rig.master.*filter).store(1, kRelaxed);
    rig.Start(2000.0, 0, 0, 8000.0);
    RenderBlock(rig.pipeline);
    const std::vector<int16_t> block = Copy(rig.LastBlock());
    if (!filter) unfiltered = block;
    EXPECT_EQ(block == unfiltered, filter == nullptr);
    const double* spectrum = rig.areas.OutputSpectrum.get();
    EXPECT_GT(*std::max_element(spectrum, spectrum + kBlockSamples), 0.0);
    for (size_t k = 0; k < kBlockSamples; ++k) ASSERT_EQ(rig.areas.Display->outputSpectrum[k], spectrum[k]) << k;
  }
}

// A 4096-byte modulator plays two frames, one per block; on the third block
// it stops and that block is left as the chain made it. The display keeps
// the last frame's spectrum. Frame 0 is silent, so it silences its block.
TEST(RenderBlock, VocoderPlaysTwoFramesOfA4096ByteModulatorThenStops) {
  PipelineRig rig, plain;
  auto data = std::make_unique<ModulatorData>();
  data->bytes = 4096;
  data->samples = std::make_unique<int16_t[]>(2048);
  data->samples[1024] = 32767;
  rig.modulator.Install(std::move(data));
  ASSERT_TRUE(rig.modulator.Start());
  for (PipelineRig* r : {&rig, &plain}) r->Start(2000.0, 0, 0, 8000.0);
  for (int32_t expected : {1024, 2048, -1}) {
    RenderBlock(rig.pipeline);
    RenderBlock(plain.pipeline);
    EXPECT_EQ(rig.modulator.Position(), expected);
    const std::vector<int16_t> block = Copy(rig.LastBlock());
    if (expected == 1024) {
      EXPECT_TRUE(AllEqual(rig.LastBlock(), 0));
    }
    EXPECT_EQ(block == Copy(plain.LastBlock()), expected == -1) << expected;
  }
  const double impulseBin = 32767.0 / 32768.0 / 1024.0;
  for (size_t k = 0; k < kBlockSamples; ++k)
    ASSERT_EQ(rig.areas.Display->modulatorSpectrum[k], impulseBin * impulseBin) << k;
}

uint64_t Fnv1a(const std::vector<int16_t>& samples) {
  uint64_t h = 1469598103934665603u;
  for (int16_t s : samples) {
    for (int byte = 0; byte < 2; ++byte) {
      h ^= (static_cast<uint16_t>(s) >> (8 * byte)) & 0xFF;
      h *= 1099511628211u;
    }
  }
  return h;
}

// A scene with every part of the chain: plain, detune and ring blocks,
// arpeggio, vibrato on the virtual clock, voice filter, howling, clipping and
// the master low-pass, releases and noise.
std::vector<int16_t> RenderScene(int blocks) {
  PipelineRig rig;
  Synth& s = rig.synth;
  s.switches.ArpeggioOn.store(1, kRelaxed);
  s.params.ModPower.store(0.5, kRelaxed);
  s.params.Distortion.store(3000.0, kRelaxed);
  s.params.Howling.store(4.0, kRelaxed);
  for (int ch = 0; ch < 16; ++ch) s.ChannelLevel[ch].store(1.0, kRelaxed);
  rig.master.DistortionOn.store(1, kRelaxed);
  rig.master.LPFResoOn.store(1, kRelaxed);
  std::vector<int16_t> out;
  for (int b = 0; b < blocks; ++b) {
    if (b % 4 == 0)
      rig.Start(rig.synth.noteFreq[30 + b % 40], b / 4 % 15, b * 37 % 1024, 6000.0, b % 3 == 0 ? 2 : LiveChannel);
    if (b % 6 == 5) ReleaseAnyVoice(rig.synth.voices[b % 7]);
    s.switches.DetuneOn.store(b / 16 % 2, kRelaxed);
    s.switches.RingOn.store(b / 32 % 2, kRelaxed);
    s.switches.VoiceResoOn.store(b / 8 % 2, kRelaxed);
    rig.master.HowlingOn.store(b / 24 % 2, kRelaxed);
    RenderBlock(rig.pipeline);
    rig.virtualClock.Advance(23);
    const int16_t* block = rig.LastBlock();
    out.insert(out.end(), block, block + kBlockSamples);
  }
  return out;
}

TEST(RenderBlock, PinnedRender) {
  const std::vector<int16_t> out = RenderScene(128);
  const std::vector<int16_t> head(out.begin() + 5 * 1024 + 300, out.begin() + 5 * 1024 + 316);
  const std::vector<int16_t> pinnedHead = {-17709, -16881, -16012, -15106, -14168, -13204, -12187, -11124,
                                           -10020, -8881,  -7714,  -6523,  -5316,  -4099,  -2877,  -1658};
  EXPECT_EQ(head, pinnedHead);
  EXPECT_EQ(Fnv1a(out), 2229928664948993582u);
}

}  // namespace
}  // namespace tavolin
