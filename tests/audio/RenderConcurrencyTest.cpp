// Blocks render in detune and ring mode while other threads start, release
// and kill voices, clear the table and read the display's data. Run under
// ThreadSanitizer. What must hold: a kill is honoured, a voice that was
// claimed anew while the renderer worked on the slot's old voice never
// receives the old voice's write-back, and the display's reads are no races.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "audio/Recorder.h"
#include "tests/WaitUntil.h"
#include "tests/audio/PipelineRig.h"
#include "tests/platform/WaveFileBytes.h"
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
      n.freq = 100.0 + static_cast<double>(random() % 2000);
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

// The window thread loads, starts and frees modulators and starts and stops
// recordings, again and again, while the audio thread plays and renders
// blocks with the vocoder and the sequencer thread requeues all buffers (a
// file load). Every recorded file is valid; nothing freed is read.
TEST(RenderConcurrency, ModulatorAndRecordingChangesWhileBlocksRender) {
  PipelineRig rig;
  for (WaveHeader& h : rig.ring.WaveHeaders) ASSERT_TRUE(rig.device.Prepare(h));
  WriteAllBuffers(rig.ring);
  rig.Start(440.0, 3);
  rig.master.LPFOn.store(1, kRelaxed);
  const WaveFormat format;
  Recorder recorder(rig.ring, rig.window, format);
  std::atomic<bool> stop{false};
  std::atomic<uint32_t> blocks{0};
  std::thread audio([&] {
    while (!stop.load()) {
      rig.device.Advance(kBlockSamples);
      while (auto m = rig.notify.Peek()) {
        if (TakeCompletion(rig.ring, *reinterpret_cast<WaveHeader*>(m->lParam))) RenderBlock(rig.pipeline);
        blocks.fetch_add(1);
      }
    }
  });
  std::thread sequencer([&] {
    while (!stop.load()) {
      WriteAllBuffers(rig.ring);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const std::string path =
      (std::filesystem::temp_directory_path() / ("tavolin-render-concurrency-" + std::to_string(getpid()) + ".wav"))
          .string();
  for (int round = 0; round < 60; ++round) {
    auto modulator = std::make_unique<ModulatorData>();
    modulator->bytes = 2048 * (1 + round % 5);
    modulator->samples = std::make_unique<int16_t[]>(modulator->bytes / 2);
    std::fill_n(modulator->samples.get(), modulator->bytes / 2, static_cast<int16_t>(round * 100));
    rig.modulator.Install(std::move(modulator));
    rig.modulator.Start();
    if (round % 3 == 0) {
      ASSERT_TRUE(recorder.Start(path));
    }
    const uint32_t before = blocks.load();
    ASSERT_TRUE(test::WaitUntil([&] { return blocks.load() >= before + 2; }));
    if (round % 2 == 0) rig.modulator.Free();
    if (round % 3 == 2) recorder.Stop();
  }
  recorder.Stop();
  stop.store(true);
  audio.join();
  sequencer.join();
  const auto bytes = test::ReadAll(path);
  EXPECT_EQ(test::FinishedDataBytes(bytes) % kBlockBytes, 0u);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tavolin
