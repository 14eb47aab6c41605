// The pull path against the ring: the same notes at the same sample
// positions give the same samples, whatever the device asks for at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/PullPath.h"
#include "tests/audio/PipelineRig.h"
#include "tests/synth/ReleaseAnyVoice.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Held notes are released here (the ring can release a voice only as a block
// begins); the render goes on while they fade.
constexpr uint64_t kRelease = 8 * kBlockSamples;
constexpr uint64_t kFade = 16 * kBlockSamples;

struct Note {
  uint64_t at;
  double freq;
  int32_t mode;
  bool held;  // else a one-shot of 10 ms, which ends within its block
};

// The one-shots at 100 and 300 end before the note at 900 starts, while
// the voice at 200 in the slot between them still sounds. The drum at 7000
// draws noise: it and its block are rendered whole.
// clang-format off
const Note kNotes[] = {
  {0, 220.0, 0, true}, {100, 330.0, 3, false}, {200, 277.0, 4, true}, {300, 415.0, 6, false},
  {900, 523.0, 9, true}, {2010, 185.0, 11, true}, {3050, 740.0, 12, true}, {4090, 98.0, 14, true},
  {5100, 1244.0, 7, true}, {6100, 311.0, 10, true}, {7000, 60.0, 5, false},
};
// clang-format on

const std::vector<uint32_t> kPatterns[] = {{1},    {64},   {256},
                                           {1000}, {1024}, {1, 64, 1000, 7, 256, 1024, 333, 999, 500, 936}};

void StartNote(PipelineRig& rig, const Note& note, int32_t mode) {
  NoteStart n;
  n.startOffset = static_cast<int32_t>(note.at % kBlockSamples);
  n.freq = note.freq;
  n.amp = 9000.0;
  n.life = note.held ? 0.25 : 0.01;
  n.gate = note.held ? 1 : 0;
  n.sweepRate = 3.0;
  n.mode = mode;
  n.resetPhase2 = true;
  ASSERT_GE(StartVoice(rig.synth.voices, n), 0);
}

void ReleaseAll(PipelineRig& rig) {
  for (VoiceSlot& slot : rig.synth.voices) ReleaseAnyVoice(slot);
  rig.virtualClock.Set(5000);
}

struct Case {
  const char* name;
  void (*setUp)(PipelineRig&);
  bool whole;  // every block is rendered whole
  bool noise;  // every note draws noise
};

void SwitchesThatKeepPieces(PipelineRig& rig) {
  rig.master.HowlingOn.store(1, kRelaxed);
  rig.synth.params.Howling.store(4.0, kRelaxed);
  rig.master.DistortionOn.store(1, kRelaxed);
  rig.synth.params.Distortion.store(3000.0, kRelaxed);
  rig.master.LPFResoOn.store(1, kRelaxed);
  rig.synth.switches.VoiceResoOn.store(1, kRelaxed);
  rig.synth.switches.ArpeggioOn.store(1, kRelaxed);
  rig.synth.params.ModPower.store(1.0, kRelaxed);
}

void TimedSweep(PipelineRig& rig) {
  SwitchesThatKeepPieces(rig);
  rig.synth.switches.TimedResoOn.store(1, kRelaxed);
}

void Detune(PipelineRig& rig) {
  rig.synth.switches.DetuneOn.store(1, kRelaxed);
  rig.synth.switches.VoiceResoOn.store(1, kRelaxed);
}

void EverySwitch(PipelineRig& rig) {
  TimedSweep(rig);
  rig.master.LPFOn.store(1, kRelaxed);
  rig.master.HPFOn.store(1, kRelaxed);
  rig.synth.switches.DetuneOn.store(1, kRelaxed);
  rig.synth.switches.RingOn.store(1, kRelaxed);
}

void SpectralLowPass(PipelineRig& rig) { rig.master.LPFOn.store(1, kRelaxed); }

void Vocoder(PipelineRig& rig) {
  auto data = std::make_unique<ModulatorData>();
  constexpr uint32_t kSamples = 160 * kModulatorFrame;  // outlasts the render: every block is whole
  data->samples = std::make_unique<int16_t[]>(kSamples);
  for (uint32_t i = 0; i < kSamples; ++i)
    data->samples[i] = static_cast<int16_t>(static_cast<int32_t>((i * 7919u) % 4001u) - 2000);
  data->bytes = kSamples * 2;
  rig.modulator.Install(std::move(data));
  rig.modulator.Start();
}

// clang-format off
const Case kCases[] = {
  {"plain", [](PipelineRig&) {}, false, false},
  {"switches that keep pieces", SwitchesThatKeepPieces, false, false},
  {"timed sweep", TimedSweep, false, false},
  {"detune with the voice filter", Detune, true, false},
  {"every switch", EverySwitch, true, false},
  {"spectral low-pass", SpectralLowPass, true, false},
  {"vocoder", Vocoder, true, false},
  {"noise modes", [](PipelineRig&) {}, true, true},
};
// clang-format on

int32_t ModeOf(const Case& c, size_t k) {
  if (c.noise) return k % 2 == 0 ? 5 : 13;
  return kNotes[k].mode;
}

uint64_t BlockStart(uint64_t at) { return at - at % kBlockSamples; }

std::vector<int16_t> RenderOnRing(const Case& c, uint64_t release) {
  PipelineRig rig;
  rig.virtualClock.Set(1000);
  c.setUp(rig);
  std::vector<int16_t> out(release + kFade);
  for (uint64_t from = 0; from < out.size(); from += kBlockSamples) {
    for (size_t k = 0; k < std::size(kNotes); ++k)
      if (BlockStart(kNotes[k].at) == from) StartNote(rig, kNotes[k], ModeOf(c, k));
    if (from == release) ReleaseAll(rig);
    RenderBlock(rig.pipeline);
    std::copy_n(rig.LastBlock(), kBlockSamples, out.begin() + static_cast<std::ptrdiff_t>(from));
  }
  return out;
}

// Where a note must come in for the ring's block, whatever the calls: in a
// block rendered in pieces at its own sample; in one that must be complete
// before it plays (every block of a whole case, and a noise note's) as the
// block before it begins, when its rendering begins too. Blocks 0 and 1
// both begin at the first sample, block 0 rendered whole there: a note of
// block 1 comes a sample later, before anything of block 1 is rendered.
uint64_t Due(const Case& c, size_t k) {
  const uint64_t at = kNotes[k].at;
  if (!c.whole) return DrawsNoise(ModeOf(c, k)) ? BlockStart(at) : at;
  const uint64_t block = at / kBlockSamples;
  return block == 0 ? 0 : std::max<uint64_t>(1, (block - 1) * kBlockSamples);
}

// The device asks for the pattern's sizes in turn; a call is cut where a
// note or the release comes in, as a plugin host's call is cut at its
// events. The release comes the same way, for the block it begins.
std::vector<int16_t> RenderPulled(const Case& c, std::span<const uint32_t> pattern, uint64_t release) {
  PipelineRig rig;
  rig.virtualClock.Set(1000);
  c.setUp(rig);
  PullPath pull(rig.pipeline);
  std::vector<int16_t> out(release + kFade);
  const uint64_t releaseDue = c.whole ? release - kBlockSamples : release;
  uint64_t handed = 0;
  for (size_t call = 0; handed < out.size(); ++call) {
    const uint64_t end = handed + std::min<uint64_t>(pattern[call % pattern.size()], out.size() - handed);
    while (handed < end) {
      uint64_t next = end;
      for (size_t k = 0; k < std::size(kNotes); ++k) {
        const uint64_t due = Due(c, k);
        if (due == handed) StartNote(rig, kNotes[k], ModeOf(c, k));
        if (due > handed) next = std::min(next, due);
      }
      if (releaseDue == handed) ReleaseAll(rig);
      if (releaseDue > handed) next = std::min(next, releaseDue);
      pull.Fill(out.data() + handed, static_cast<uint32_t>(next - handed));
      handed = next;
      EXPECT_EQ(pull.Handed(), handed);
    }
  }
  return out;
}

std::string FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin());
  if (x == a.end()) return "none";
  return "sample " + std::to_string(x - a.begin()) + ": " + std::to_string(*x) + " vs " + std::to_string(*y);
}

TEST(PullPath, RendersTheRingsSamplesWhateverTheDeviceAsksForAtATime) {
  for (const Case& c : kCases) {
    for (const std::vector<uint32_t>& pattern : kPatterns) {
      const std::vector<int16_t> ring = RenderOnRing(c, kRelease);
      ASSERT_LT(std::count(ring.begin(), ring.end(), int16_t{0}), ring.size() / 2) << c.name;
      const std::vector<int16_t> pulled = RenderPulled(c, pattern, kRelease);
      EXPECT_EQ(FirstDifference(ring, pulled), "none")
          << c.name << ", " << pattern.size() << " sizes from " << pattern[0];
    }
  }
}

}  // namespace
}  // namespace tavolin
