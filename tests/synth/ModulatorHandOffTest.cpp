#include "synth/ModulatorHandOff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

// A modulator of `bytes` bytes whose every sample is `token`.
std::unique_ptr<ModulatorData> Filled(uint32_t bytes, int16_t token) {
  auto m = std::make_unique<ModulatorData>();
  m->bytes = bytes;
  m->samples = std::make_unique<int16_t[]>(bytes / 2);
  std::fill_n(m->samples.get(), bytes / 2, token);
  return m;
}

// Plays one block as the vocoder stage does; the frame's first sample, or 0
// when no frame plays.
int16_t PlayBlock(ModulatorHandOff& h) {
  const int16_t* frame = h.FrameForThisBlock();
  if (!frame) return 0;
  h.AdvanceFrame();
  return frame[0];
}

TEST(ModulatorHandOff, WholeFramesPlayOnceEachFromAStart) {
  struct Case {
    uint32_t bytes;
    int frames;
  };
  for (const Case c : {Case{4096, 2}, Case{4097, 2}, Case{6143, 2}, Case{6144, 3}, Case{2046, 0}}) {
    ModulatorHandOff h;
    EXPECT_FALSE(h.Start()) << "nothing loaded";
    h.Install(Filled(c.bytes, 7));
    EXPECT_EQ(PlayBlock(h), 0) << "a new modulator is stopped";
    ASSERT_TRUE(h.Start());
    for (int f = 0; f < c.frames; ++f) {
      EXPECT_EQ(h.Position(), f == 0 ? -1 : f * 1024);
      EXPECT_EQ(PlayBlock(h), 7) << c.bytes << " frame " << f;
    }
    EXPECT_EQ(PlayBlock(h), 0) << c.bytes;
    EXPECT_EQ(h.Position(), -1);
  }
}

TEST(ModulatorHandOff, StartsAndReplacementsTakeEffectAtTheNextBlock) {
  ModulatorHandOff h;
  h.Install(Filled(8192, 1));
  h.Start();
  EXPECT_EQ(PlayBlock(h), 1);
  EXPECT_EQ(PlayBlock(h), 1);
  h.Start();  // during playback: from sample 0 again
  EXPECT_NE(h.FrameForThisBlock(), nullptr);
  EXPECT_EQ(h.Position(), 0);
  h.AdvanceFrame();

  h.Start();                   // meant for the old one,
  h.Install(Filled(8192, 2));  // which is replaced before the audio thread looks
  EXPECT_EQ(PlayBlock(h), 0) << "the new modulator starts stopped";
  h.Start();
  EXPECT_EQ(PlayBlock(h), 2);
  h.Free();
  EXPECT_FALSE(h.Loaded());
  EXPECT_EQ(PlayBlock(h), 0);
  EXPECT_FALSE(h.Start());
}

// The window thread loads, starts and frees at full speed while the audio
// thread plays: every frame it reads belongs to one modulator, whole, and
// nothing it reads has been freed (ThreadSanitizer and AddressSanitizer).
TEST(ModulatorHandOffThreads, LoadsStartsAndFreesWhileFramesPlay) {
  ModulatorHandOff h;
  std::atomic<bool> done{false};
  std::atomic<int> mixed{0};
  std::atomic<int> played{0};
  std::thread audio([&] {
    while (!done.load(std::memory_order_relaxed)) {
      const int16_t* frame = h.FrameForThisBlock();
      if (!frame) continue;
      for (uint32_t i = 1; i < kModulatorFrame; ++i) mixed.fetch_add(frame[i] != frame[0], std::memory_order_relaxed);
      played.fetch_add(1, std::memory_order_relaxed);
      h.AdvanceFrame();
    }
  });
  for (int round = 0; round < 600; ++round) {
    h.Install(Filled(2048 * (1 + round % 7), static_cast<int16_t>(round)));
    h.Start();
    if (round % 20 == 0) {  // now and then, until the audio thread has played a frame of it
      const int before = played.load();
      test::WaitUntil([&] { return played.load() != before; });
    }
    h.Start();
    if (round % 2 == 0) h.Free();
    h.Start();
  }
  done.store(true);
  audio.join();
  EXPECT_EQ(mixed.load(), 0);
  EXPECT_GT(played.load(), 0);
}

}  // namespace
}  // namespace tavolin
