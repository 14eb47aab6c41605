// Blocks render in detune and ring mode while other threads start, release
// and kill voices, clear the table and read the display's data. Run under
// ThreadSanitizer. What must hold: a kill is honoured, a voice that was
// claimed anew while the renderer worked on the slot's old voice never
// receives the old voice's write-back, and the display's reads are no races.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "tests/audio/PipelineRig.h"
#include "tests/synth/ReleaseAnyVoice.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

TEST(RenderConcurrency, NoteTrafficWhileDetuneAndRingBlocksRender) {
  PipelineRig rig;
  Synth& synth = rig.synth;
  synth.switches.VoiceResoOn.store(1, kRelaxed);
  std::atomic<bool> rendering{true};
  std::atomic<bool> killerDone{false};
  std::atomic<int> blocks{0};

  std::thread audio([&] {
    while (rendering.load()) {
      const int b = blocks.load(kRelaxed);
      synth.switches.RingOn.store(b / 3 % 2, kRelaxed);
      synth.switches.DetuneOn.store(1, kRelaxed);
      RenderBlock(rig.pipeline);
      blocks.fetch_add(1);
    }
  });

  // Every start gets its own release time, so a write-back of an old voice
  // (whose lifeLeft has fallen) onto a new held voice would show as
  // lifeLeft != lifeTotal. The starter outlasts the killer, so that the
  // table fills up again at the end.
  std::thread starter([&] {
    std::mt19937 random(1);
    int afterKiller = 0;
    for (int k = 0; k < 2000 || afterKiller < 200; ++k) {
      if (killerDone.load()) ++afterKiller;
      NoteStart n;
      n.freq = 100.0 + random() % 2000;
      n.amp = 8000.0;
      n.life = 0.001 + k * 1e-6;
      n.sweepRate = 0.5;
      n.mode = static_cast<int32_t>(random() % 16);
      n.startOffset = static_cast<int32_t>(random() % 1024);
      StartVoice(synth.voices, n);
      if (k % 3 == 0) ReleaseAnyVoice(synth.voices[random() % kVoiceCount]);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  });
  std::thread killer([&] {
    std::mt19937 random(2);
    for (int k = 0; k < 1500; ++k) {
      KillVoice(synth.voices[random() % kVoiceCount]);
      if (k % 500 == 499) ClearVoiceTable(synth.voices);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    killerDone.store(true);
  });
  killer.join();
  starter.join();

  // Every held voice still carries its own start's envelope.
  const int settled = blocks.load() + 2;
  while (blocks.load() < settled) std::this_thread::yield();
  int held = 0;
  for (const VoiceSlot& s : synth.voices) {
    if (!IsActive(s) || s.gate.load(kRelaxed) == 0) continue;
    ++held;
    EXPECT_EQ(s.lifeLeft.load(kRelaxed), s.lifeTotal.load(kRelaxed));
  }
  EXPECT_GT(held, 0);

  // A clear while a block renders still stops every voice.
  ClearVoiceTable(synth.voices);
  const int cleared = blocks.load() + 2;
  while (blocks.load() < cleared) std::this_thread::yield();
  rendering.store(false);
  audio.join();
  for (const VoiceSlot& s : synth.voices) EXPECT_FALSE(IsActive(s));
  EXPECT_TRUE(std::all_of(rig.LastBlock(), rig.LastBlock() + kBlockSamples, [](int16_t s) { return s == 0; }));
}

// The window reads what the display shows while blocks render; when the
// rendering stops, the scope holds exactly the ring's sample memory.
TEST(RenderConcurrency, DisplayReadsWhileBlocksRender) {
  PipelineRig rig;
  for (int v = 0; v < 16; ++v) rig.Start(110.0 * (v + 1), v % 15);
  const DisplayFeed& display = *rig.areas.Display;
  std::atomic<bool> reading{true};
  std::thread audio([&] {
    do RenderBlock(rig.pipeline);
    while (reading.load());
  });
  volatile int64_t sink = 0;
  for (int paint = 0; paint < 200; ++paint) {
    for (size_t i = 0; i < kRingSamples; ++i) sink = sink + display.scope[i];
    for (size_t i = 0; i < kBlockSamples; ++i) sink = sink + static_cast<int64_t>(display.outputSpectrum[i]);
  }
  reading.store(false);
  audio.join();
  for (size_t i = 0; i < kRingSamples; ++i) ASSERT_EQ(display.scope[i], rig.ring.WaveData[i]) << i;
}

}  // namespace
}  // namespace tavolin
