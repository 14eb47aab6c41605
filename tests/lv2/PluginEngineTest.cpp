// The plugin's engine: whatever sizes the host's calls have, the output is
// the same; under the compensated rule it is the ring's blocks for the same
// messages at the same sample positions, one block late.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "lv2/PluginEngine.h"
#include "tests/audio/PipelineRig.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr uint64_t kLength = 14 * kBlockSamples;

struct Message {
  uint64_t at;
  uint8_t bytes[3];
};

// Notes on several channels, one at a block's first sample, controllers,
// a program change and a pitch bend, and the releases.
// clang-format off
const Message kMessages[] = {
  {0, {0x90, 57, 100}}, {300, {0x91, 64, 90}}, {1024, {0x92, 69, 80}}, {1500, {0xB0, 1, 64}},
  {2047, {0xE0, 0, 80}}, {2500, {0xC0, 9, 0}}, {3000, {0x90, 45, 110}}, {4100, {0x80, 57, 0}},
  {5000, {0x91, 64, 0}}, {6200, {0x95, 76, 70}}, {8000, {0xB0, 7, 100}}, {9216, {0x80, 45, 0}},
  {10000, {0x82, 69, 0}}, {11000, {0x85, 76, 0}},
};
// clang-format on

void SwitchOn(Synth& synth, MasterChain& master, bool effects) {
  synth.switches.RingOn.store(effects ? 1 : 0, kRelaxed);
  master.LPFOn.store(effects ? 1 : 0, kRelaxed);
}

class SettablePosition final : public OutputPosition {
 public:
  uint64_t Played() const override { return at; }
  void Requeue() override {}
  uint64_t at = 0;
};

// The ring's blocks, each message started before the block that holds it,
// at its own position, the clock at the block's start.
std::vector<int16_t> RenderOnRing(bool effects) {
  PipelineRig rig;
  SwitchOn(rig.synth, rig.master, effects);
  SettablePosition position;
  MidiInProc input(rig.synth, position);
  std::vector<int16_t> out(kLength);
  for (uint64_t from = 0; from < kLength; from += kBlockSamples) {
    for (const Message& m : kMessages) {
      if (m.at / kBlockSamples != from / kBlockSamples) continue;
      position.at = m.at;
      input.OnMessage(m.bytes, 3);
    }
    rig.virtualClock.Set(VirtualMilliseconds(from));
    RenderBlock(rig.pipeline);
    std::copy_n(rig.LastBlock(), kBlockSamples, out.begin() + static_cast<std::ptrdiff_t>(from));
  }
  return out;
}

// The host's calls of the sizes given in turn, each message at its frame.
std::vector<float> RenderInCalls(bool effects, bool compensated, std::span<const uint32_t> sizes) {
  PluginEngine engine(4096);
  EXPECT_TRUE(engine.Ok());
  SwitchOn(engine.synth(), engine.master(), effects);
  engine.SetCompensated(compensated);
  engine.Restart(0);  // as a host activates it, with its controls set
  std::vector<float> out(kLength + PluginEngine::kCompensatedLatency);
  uint64_t at = 0;
  for (size_t call = 0; at < out.size(); ++call) {
    const uint64_t end = std::min<uint64_t>(at + sizes[call % sizes.size()], out.size());
    for (const Message& m : kMessages) {
      if (m.at < at || m.at >= end) continue;
      engine.Play(out.data() + at, static_cast<uint32_t>(m.at - at));
      at = m.at;
      engine.Message(m.bytes, 3);
    }
    engine.Play(out.data() + at, static_cast<uint32_t>(end - at));
    at = end;
  }
  return out;
}

std::vector<std::vector<uint32_t>> CallSizes() {
  std::vector<uint32_t> randomSizes(50);
  std::mt19937 random(7);
  for (uint32_t& size : randomSizes) size = 1 + random() % 4096;
  return {{1}, {17}, {64}, {1000}, {1024}, {4096}, randomSizes};
}

TEST(PluginEngine, ZeroLatencyOutputDoesNotDependOnTheCallSizes) {
  for (const bool effects : {false, true}) {
    const std::vector<float> reference = RenderInCalls(effects, false, std::vector<uint32_t>{1024});
    // The note at 0 sounds at once in plain blocks, a block later in whole ones.
    const auto onset = std::find_if(reference.begin(), reference.end(), [](float s) { return s != 0.0f; });
    EXPECT_EQ(onset - reference.begin(), effects ? kBlockSamples : 0);
    for (const std::vector<uint32_t>& sizes : CallSizes())
      EXPECT_EQ(RenderInCalls(effects, false, sizes), reference) << "effects " << effects << ", calls of " << sizes[0];
  }
}

TEST(PluginEngine, CompensatedItRendersTheRingsBlocksOneBlockLateWhateverTheCallSizes) {
  constexpr uint32_t kLatency = PluginEngine::kCompensatedLatency;
  for (const bool effects : {false, true}) {
    const std::vector<int16_t> ring = RenderOnRing(effects);
    ASSERT_LT(std::count(ring.begin(), ring.end(), int16_t{0}), kLength / 4);
    for (const std::vector<uint32_t>& sizes : CallSizes()) {
      const std::vector<float> out = RenderInCalls(effects, true, sizes);
      size_t differences = 0;
      for (uint64_t t = 0; t < out.size(); ++t) {
        const float expected = t < kLatency ? 0.0f : static_cast<float>(ring[t - kLatency]) / 32768.0f;
        if (out[t] != expected && differences++ == 0)
          ADD_FAILURE() << "effects " << effects << ", calls of " << sizes[0] << "...: sample " << t << " is " << out[t]
                        << ", not " << expected;
      }
    }
  }
}

}  // namespace
}  // namespace tavolin
