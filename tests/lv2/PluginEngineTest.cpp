// The plugin's engine: whatever sizes the host's calls have, the output is
// the same; under the compensated rule it is the ring's blocks for the same
// messages at the same sample positions, one block late.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "lv2/ControlPorts.h"
#include "lv2/PluginEngine.h"
#include "params/EngineSwitches.h"
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

uint32_t PortOf(std::string_view symbol) {
  const auto& defs = ControlPortDefs();
  const auto found =
      std::find_if(defs.begin(), defs.end(), [&](const ControlPortDef& d) { return d.symbol == symbol; });
  return static_cast<uint32_t>(found - defs.begin());
}

// Ring mode renders whole blocks ahead, the voices sounding as a block
// begins spread over it: a note sounds a block after its frame, or two when
// its slot was passed already. Four notes from frame 0 take slots 0 to 3;
// the second is released at once and its slot is free long before block 16
// begins with three voices sounding, of which two are rendered by its
// sample 700 (3 x 700 / 1024), slots 0 to 2: a note there takes slot 1.
TEST(PluginEngine, InRingModeANoteSoundsABlockLaterOrTwoWhenItsSlotWasPassed) {
  constexpr uint64_t kBlock16 = 16 * kBlockSamples;
  struct Case {
    uint32_t offset;  // of the new note in block 16
    bool releaseSecond;
    uint64_t heardFrom;
  };
  for (const Case& c :
       {Case{700, true, kBlock16 + 700 + 2 * kBlockSamples}, Case{300, true, kBlock16 + 300 + kBlockSamples},
        Case{700, false, kBlock16 + 700 + kBlockSamples}}) {
    auto render = [&c](bool newNote) {
      PluginEngine engine(4096);
      engine.synth().switches.RingOn.store(1, kRelaxed);
      engine.Restart(0);
      std::vector<float> out(kBlock16 + 4 * kBlockSamples);
      uint64_t at = 0;
      auto playTo = [&](uint64_t to) {
        for (; at < to; at = std::min<uint64_t>(to, at + 1000))
          engine.Play(out.data() + at, static_cast<uint32_t>(std::min<uint64_t>(to - at, 1000)));
      };
      for (const uint8_t key : {60, 64, 67, 71}) {
        const uint8_t on[] = {0x90, key, 100};
        engine.Message(on, 3);
      }
      const uint8_t off[] = {0x80, 64, 0};
      if (c.releaseSecond) engine.Message(off, 3);
      playTo(kBlock16 + c.offset);
      const uint8_t on[] = {0x90, 76, 100};
      if (newNote) engine.Message(on, 3);
      playTo(out.size());
      return out;
    };
    const std::vector<float> without = render(false), with = render(true);
    const auto first = std::mismatch(without.begin(), without.end(), with.begin()).first - without.begin();
    EXPECT_GE(first, c.heardFrom) << c.offset << " " << c.releaseSecond;
    EXPECT_LT(first, c.heardFrom + 64) << c.offset << " " << c.releaseSecond;
  }
}

// A value reaches the engine held to its port's range; NaN and the
// infinities leave what was there.
TEST(ControlInputs, ValuesAreHeldToTheirRangeAndNonNumbersIgnored) {
  constexpr float kInf = std::numeric_limits<float>::infinity(), kNaN = std::numeric_limits<float>::quiet_NaN();
  Synth synth;
  MasterChain master;
  PluginChoices choices;
  ControlInputs inputs(synth, master, choices);
  float volume = 0, shift = 0, mode = 0, detune = 0, numbering = 0, compensated = 0;
  inputs.Connect(PortOf("MasterVol"), &volume);
  inputs.Connect(PortOf("PitchShift"), &shift);
  inputs.Connect(PortOf("mode"), &mode);
  inputs.Connect(PortOf("DetuneOn"), &detune);
  inputs.Connect(PortOf("numbering"), &numbering);
  inputs.Connect(PortOf("compensated"), &compensated);
  struct Step {
    float volume, shift, mode, detune, numbering, compensated;
    double engineVolume, engineShift;
    int32_t engineMode, engineDetune;
    NoteNumbering chosenNumbering;
    bool chosenCompensated;
  };
  const Step steps[] = {
      {2.5f, -3, 6, 1, 1, 1, 2.5, -3, 6, 1, NoteNumbering::LiveInput, true},
      {20, 100, 20, 7, 3, 2, 10, 48, 14, 1, NoteNumbering::LiveInput, true},
      {-1, -100, -3, -1, -1, -1, 0, -48, 0, 0, NoteNumbering::Standard, false},
      {6.4f, 1, 6.4f, 0.6f, 0.4f, 0.6f, static_cast<double>(6.4f), 1, 6, 1, NoteNumbering::Standard, true},
      {kInf, kInf, kInf, kInf, kInf, kInf, static_cast<double>(6.4f), 1, 6, 1, NoteNumbering::Standard, true},
      {-kInf, -kInf, -kInf, -kInf, -kInf, -kInf, static_cast<double>(6.4f), 1, 6, 1, NoteNumbering::Standard, true},
      {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, static_cast<double>(6.4f), 1, 6, 1, NoteNumbering::Standard, true},
  };
  for (const Step& s : steps) {
    std::tie(volume, shift, mode, detune, numbering, compensated) =
        std::tie(s.volume, s.shift, s.mode, s.detune, s.numbering, s.compensated);
    inputs.ApplyChanges();
    SCOPED_TRACE(s.volume);
    EXPECT_EQ(synth.params.MasterVol.load(), s.engineVolume);
    EXPECT_EQ(synth.PitchShift.load(), s.engineShift);
    EXPECT_EQ(synth.CurrentMode.load(), s.engineMode);
    EXPECT_EQ(synth.switches.DetuneOn.load(), s.engineDetune);
    EXPECT_EQ(choices.numbering, s.chosenNumbering);
    EXPECT_EQ(choices.compensated, s.chosenCompensated);
  }
  // Past the top again after a MIDI controller moved it: held to the same
  // top, it is no change and the controller's value stays.
  volume = 20;
  inputs.ApplyChanges();
  synth.params.MasterVol.store(3);
  volume = 30;
  inputs.ApplyChanges();
  EXPECT_EQ(synth.params.MasterVol.load(), 3);
}

// Every parameter but the unison tables, every switch and the plugin's own
// choices have one port each, in a group the plugin describes, with a
// default inside the range, a unit unless a toggle or a list of choices,
// and above 0 where drawn logarithmically.
TEST(ControlInputs, TheTableHasEveryControlOnceInADescribedGroup) {
  std::multiset<std::string> expected{"mode", "PitchBend", "PitchShift", "numbering", "compensated"};
  for (const ParamName& p : ParamNames()) expected.emplace(p.name);
  for (const std::string& name : EngineSwitchNames()) expected.insert(name);
  std::multiset<std::string> symbols;
  std::set<std::string_view> groups;
  // Groups and ports share one namespace of symbols; no two may differ by case only.
  std::set<std::string> folded;
  auto fold = [](std::string_view symbol) {
    std::string lower(symbol);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
  };
  for (const PortGroup& g : PortGroups()) {
    groups.insert(g.symbol);
    EXPECT_TRUE(folded.insert(fold(g.symbol)).second) << g.symbol;
  }
  for (const ControlPortDef& def : ControlPortDefs()) {
    symbols.insert(def.symbol);
    EXPECT_TRUE(folded.insert(fold(def.symbol)).second) << def.symbol;
    EXPECT_TRUE(groups.count(def.group)) << def.symbol;
    EXPECT_LE(def.minimum, def.defaultValue) << def.symbol;
    EXPECT_LE(def.defaultValue, def.maximum) << def.symbol;
    EXPECT_EQ(def.unit.empty(), def.toggled || !def.choices.empty()) << def.symbol;
    EXPECT_TRUE(!def.logarithmic || def.minimum > 0) << def.symbol;
  }
  EXPECT_EQ(symbols, expected);
}

}  // namespace
}  // namespace tavolin
