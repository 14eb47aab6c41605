// The shared device logic, driven in virtual time.

#include <gtest/gtest.h>

#include <vector>

#include "WaveTestBuffers.h"

namespace tavolin {
namespace {

using test::Pattern;
using test::TakeDone;
using test::TestBuffers;

class WaveOutTest : public ::testing::Test {
 protected:
  // Declared first so that they outlive the device, which may still hold one.
  TestBuffers buffers{8};
  MessageQueue notify;
  VirtualWaveOut device{notify};
};

class WaveOutCallbackSize : public WaveOutTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(WaveOutCallbackSize, DrainsBuffersInQueueOrderAndReturnsEachOnce) {
  const uint32_t frames = GetParam();
  test::PrepareAndWriteAll(device, buffers);
  constexpr uint32_t kTotal = 8 * kBlockSamples;

  std::vector<int16_t> heard;
  std::vector<uint32_t> returned;
  std::vector<int16_t> chunk(frames);
  while (heard.size() < kTotal + frames) {
    device.Advance(frames, chunk.data());
    heard.insert(heard.end(), chunk.begin(), chunk.end());
    const uint64_t playedNow = std::min<uint64_t>(heard.size(), kTotal);
    ASSERT_EQ(device.PlayedSamples(), playedNow);
    for (uint32_t k : TakeDone(notify, buffers)) returned.push_back(k);
    // A buffer comes back as soon as its last sample is played, not before.
    ASSERT_EQ(returned.size(), playedNow / kBlockSamples);
  }

  for (uint32_t k = 0; k < 8; ++k) {
    EXPECT_EQ(returned[k], k);
    EXPECT_EQ(buffers[k].flags.load(), WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED | WHDR_DONE);
    for (uint32_t i = 0; i < kBlockSamples; ++i) ASSERT_EQ(heard[k * kBlockSamples + i], Pattern(k, i));
  }
  for (size_t i = kTotal; i < heard.size(); ++i) ASSERT_EQ(heard[i], 0);
  EXPECT_EQ(device.UnderrunSamples(), heard.size() - kTotal);
}

INSTANTIATE_TEST_SUITE_P(AnySize, WaveOutCallbackSize, ::testing::Values(256u, 1024u, 333u, 4096u, 1u));

// Silence because the queue ran empty after buffers had played is an
// underrun; one unbroken stretch of it is one event, however many pulls it
// spans. Before the first buffer and after a reset the device is idle, not
// starved. The device's clock counts every sample it asked for.
TEST_F(WaveOutTest, CountsUnderrunSamplesAndStretches) {
  for (uint32_t k = 0; k < 4; ++k) ASSERT_TRUE(device.Prepare(buffers[k]));
  struct Step {
    int write;  // buffer queued before the pull, -1 for none
    bool reset;
    uint32_t frames;
    uint64_t samples;  // underrun totals after the pull
    uint64_t events;
  };
  const Step steps[] = {
      {-1, false, 500, 0, 0},                               // idle: nothing has played yet
      {0, false, 1000, 0, 0},                               // 1000 of buffer 0
      {-1, false, 100, 76, 1},                              // its last 24, then the queue is empty
      {-1, false, 300, 376, 1},                             // the same stretch goes on
      {1, false, 2000, 1352, 2},                            // buffer 1 ends it; the silence after is a new one
      {-1, false, 1, 1353, 2},   {-1, true, 300, 1353, 2},  // reset: idle again
      {2, false, 1034, 1363, 3},
  };
  uint64_t pumped = 0;
  std::vector<int16_t> out(2000, 77);
  for (const Step& step : steps) {
    if (step.write >= 0) {
      ASSERT_TRUE(device.Write(buffers[static_cast<uint32_t>(step.write)]));
    }
    if (step.reset) device.Reset();
    device.Advance(step.frames, out.data());
    pumped += step.frames;
    EXPECT_EQ(device.UnderrunSamples(), step.samples) << "after " << pumped;
    EXPECT_EQ(device.Totals().underrunEvents, step.events) << "after " << pumped;
    EXPECT_EQ(device.PumpedSamples(), pumped);
  }
  EXPECT_EQ(out[1023], Pattern(2, 1023));
  EXPECT_EQ(out[1024], 0);
  EXPECT_EQ(device.Totals().playedSamples, 3u * kBlockSamples);
  EXPECT_EQ(device.PlayedSamples(), kBlockSamples);  // since the reset
}

TEST_F(WaveOutTest, RefusesUnpreparedAndQueuedHeaders) {
  EXPECT_FALSE(device.Write(buffers[0]));  // not prepared
  ASSERT_TRUE(device.Prepare(buffers[0]));
  ASSERT_TRUE(device.Write(buffers[0]));
  EXPECT_EQ(buffers[0].flags.load() & (WHDR_INQUEUE | WHDR_DONE), WHDR_INQUEUE);
  EXPECT_FALSE(device.Write(buffers[0]));  // still queued: never twice
  EXPECT_FALSE(device.Unprepare(buffers[0]));
  EXPECT_FALSE(device.Prepare(buffers[0]));

  device.Advance(2 * kBlockSamples);
  EXPECT_EQ(TakeDone(notify, buffers), std::vector<uint32_t>{0});  // played once only
  EXPECT_EQ(device.PlayedSamples(), kBlockSamples);
  EXPECT_TRUE(device.Unprepare(buffers[0]));
  EXPECT_FALSE(device.Write(buffers[0]));

  WaveHeader noMemory;
  noMemory.bufferLength = kBlockBytes;
  EXPECT_FALSE(device.Prepare(noMemory));
}

TEST_F(WaveOutTest, ResetReturnsEveryQueuedHeaderAndRestartsThePosition) {
  for (uint32_t k = 0; k < 4; ++k) {
    ASSERT_TRUE(device.Prepare(buffers[k]));
    ASSERT_TRUE(device.Write(buffers[k]));
  }
  device.Advance(kBlockSamples + 500);  // buffer 0 played, buffer 1 half
  EXPECT_EQ(TakeDone(notify, buffers), std::vector<uint32_t>{0});

  device.Reset();
  EXPECT_EQ(TakeDone(notify, buffers), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(device.PlayedSamples(), 0u);
  for (uint32_t k = 0; k < 4; ++k) EXPECT_EQ(buffers[k].flags.load() & (WHDR_INQUEUE | WHDR_DONE), WHDR_DONE);

  // The cut-off buffer plays from its start when queued again.
  ASSERT_TRUE(device.Write(buffers[1]));
  std::vector<int16_t> out(kBlockSamples);
  device.Advance(kBlockSamples, out.data());
  EXPECT_EQ(out.front(), Pattern(1, 0));
  EXPECT_EQ(out.back(), Pattern(1, kBlockSamples - 1));
  EXPECT_EQ(TakeDone(notify, buffers), std::vector<uint32_t>{1});

  device.Reset();  // nothing queued: nothing comes back
  EXPECT_TRUE(TakeDone(notify, buffers).empty());
}

TEST_F(WaveOutTest, NothingIsPostedAfterClose) {
  for (uint32_t k = 0; k < 3; ++k) {
    ASSERT_TRUE(device.Prepare(buffers[k]));
    ASSERT_TRUE(device.Write(buffers[k]));
  }
  device.Advance(100);
  device.Close();
  std::vector<int16_t> out(2 * kBlockSamples, 5);
  device.Advance(2 * kBlockSamples, out.data());
  EXPECT_EQ(out, std::vector<int16_t>(2 * kBlockSamples, 0));
  device.Reset();
  EXPECT_FALSE(notify.Peek());
  EXPECT_FALSE(device.Write(buffers[3]));
  // The headers are the owner's again, ready to be unprepared and freed.
  for (uint32_t k = 0; k < 3; ++k) EXPECT_TRUE(device.Unprepare(buffers[k]));
  device.Close();
}

TEST(WaveOutOpen, OnlyTheRingFormatOpens) {
  MessageQueue notify;
  WaveOutOpenResult open = OpenWaveOut(WaveOutKind::Virtual, WaveFormat{}, notify);
  ASSERT_TRUE(open.device);
  EXPECT_TRUE(open.error.empty());
  EXPECT_STREQ(open.device->BackendName(), "virtual");

  WaveFormat stereo;
  stereo.channels = 2;
  WaveFormat rate48k;
  rate48k.samplesPerSec = 48000;
  WaveFormat eightBit;
  eightBit.bitsPerSample = 8;
  for (const WaveFormat& format : {stereo, rate48k, eightBit}) {
    for (WaveOutKind kind : {WaveOutKind::Virtual, WaveOutKind::Null, WaveOutKind::Auto}) {
      WaveOutOpenResult refused = OpenWaveOut(kind, format, notify);
      EXPECT_FALSE(refused.device);
      EXPECT_FALSE(refused.error.empty());
    }
  }
}

}  // namespace
}  // namespace tavolin
