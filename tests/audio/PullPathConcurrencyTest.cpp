// The pull path's device callback while another thread starts, releases and
// kills voices (at the handed position, as a keyboard would) and the switches
// flip blocks between pieces, pieces rendered ahead and whole voices. Run
// under ThreadSanitizer. What must hold besides no race: a voice that ends
// within a block gives its slot back when the block ends, so the table
// empties once the notes stop.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "audio/PullPath.h"
#include "tests/audio/PipelineRig.h"
#include "tests/synth/ReleaseAnyVoice.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

TEST(PullPathConcurrency, NoteTrafficWhileTheDevicePullsEveryTableSlotEndsFree) {
  PipelineRig rig;
  Synth& synth = rig.synth;
  synth.switches.VoiceResoOn.store(1, kRelaxed);
  PullPath pull(rig.pipeline);
  std::atomic<bool> playing{true};

  std::thread device([&] {
    int16_t out[37];
    for (int32_t k = 0; playing.load(); ++k) {
      synth.switches.RingOn.store(k / 200 % 2, kRelaxed);
      rig.master.LPFOn.store(k / 70 % 2, kRelaxed);
      pull.Fill(out, 37);
    }
  });
  std::thread keyboard([&] {
    std::mt19937 random(1);
    for (int k = 0; k < 3000; ++k) {
      NoteStart n;
      n.freq = 100.0 + static_cast<double>(random() % 2000);
      n.amp = 8000.0;
      n.life = 0.002;
      n.gate = static_cast<int32_t>(random() % 2);
      n.mode = static_cast<int32_t>(random() % 16);
      n.startOffset = static_cast<int32_t>(pull.Handed() % kBlockSamples);
      StartVoice(synth.voices, n);
      if (k % 3 == 0) ReleaseAnyVoice(synth.voices[random() % kVoiceCount]);
      if (k % 7 == 0) KillVoice(synth.voices[random() % kVoiceCount]);
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
  keyboard.join();
  playing.store(false);
  device.join();

  // Then, once every voice has gone, in pieces: voices that end within a block.
  synth.switches.RingOn.store(0, kRelaxed);
  rig.master.LPFOn.store(0, kRelaxed);
  for (VoiceSlot& slot : synth.voices) ReleaseAnyVoice(slot);
  std::vector<int16_t> out(4 * kBlockSamples);
  pull.Fill(out.data(), static_cast<uint32_t>(out.size()));  // 2 ms of release end within a block or two
  for (int32_t k = 0; k < 8; ++k) {
    NoteStart n;
    n.freq = 440.0;
    n.life = 0.002;
    n.gate = 0;
    n.startOffset = k * 100;
    StartVoice(synth.voices, n);
  }
  pull.Fill(out.data(), static_cast<uint32_t>(out.size()));
  for (const VoiceSlot& slot : synth.voices) EXPECT_FALSE(IsActive(slot));
}

}  // namespace
}  // namespace tavolin
