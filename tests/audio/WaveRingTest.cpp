#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/WaveRing.h"
#include "platform/MessageQueue.h"
#include "platform/WaveOut.h"

namespace tavolin {
namespace {

class CountingSink final : public BlockSink {
 public:
  void Append(const int16_t* samples, uint32_t bytes) override {
    appends.fetch_add(1);
    total.fetch_add(bytes);
    firstSample.store(samples[0]);
  }
  std::atomic<int> appends{0};
  std::atomic<uint64_t> total{0};
  std::atomic<int16_t> firstSample{0};
};

struct Ring {
  MessageQueue queue;
  VirtualWaveOut device{queue};
  WaveRing ring;

  Ring() {
    ring.WaveData.reset(new int16_t[kRingSamples]());
    ring.device = &device;
    SetUpHeaders(ring);
    for (WaveHeader& h : ring.WaveHeaders) EXPECT_TRUE(device.Prepare(h));
    // Tag each block with its number, so the order of play shows.
    for (uint32_t k = 0; k < kRingBuffers; ++k) ring.Block(k)[0] = static_cast<int16_t>(100 + k);
  }

  // Plays one buffer's worth and returns the header index that came back.
  int PlayOne() {
    int16_t out[kBlockSamples];
    device.Advance(kBlockSamples, out);
    auto m = queue.Peek();
    if (!m || m->id != MessageId::WaveOutDone) return -1;
    return static_cast<int>(reinterpret_cast<WaveHeader*>(m->lParam) - ring.WaveHeaders.data());
  }

  int Queued() const {
    int n = 0;
    for (const WaveHeader& h : ring.WaveHeaders) n += (h.flags.load() & WHDR_INQUEUE) ? 1 : 0;
    return n;
  }
};

TEST(WaveRing, HeadersPointAtTheirBlocks) {
  Ring r;
  for (uint32_t k = 0; k < kRingBuffers; ++k) {
    const WaveHeader& h = r.ring.WaveHeaders[k];
    EXPECT_EQ(h.data, r.ring.WaveData.get() + k * 1024);
    EXPECT_EQ(h.bufferLength, 2048u);
    EXPECT_EQ(h.user.load(), 0u);
    EXPECT_EQ(h.flags.load() & (WHDR_BEGINLOOP | WHDR_ENDLOOP), 12u);
  }
}

TEST(WaveRing, PrimingQueuesAllInOrderAndSteadyStateRequeuesTheReturnedBuffer) {
  Ring r;
  for (uint32_t i = 0; i < kRingBuffers; ++i) EXPECT_EQ(WriteNextBuffer(r.ring), (i + 1) % 8);
  EXPECT_EQ(r.ring.RingIndex.load(), 0u);
  EXPECT_EQ(r.Queued(), 8);
  for (int round = 0; round < 20; ++round) {
    const int back = r.PlayOne();
    ASSERT_EQ(back, round % 8);
    ASSERT_TRUE(TakeCompletion(r.ring, r.ring.WaveHeaders[back]));
    // The first step of every block: the buffer that came back is queued again.
    const uint32_t n = WriteNextBuffer(r.ring);
    EXPECT_EQ((n + 7) % 8, static_cast<uint32_t>(back));
    EXPECT_EQ(r.Queued(), 8);
  }
}

// A file load's WriteAllBuffers while all eight are queued: every write is
// refused, so nothing is queued twice. Queueing records nothing.
TEST(WaveRing, WriteAllBuffersNeverQueuesTwiceAndRecordsNothing) {
  Ring r;
  CountingSink sink;
  WriteAllBuffers(r.ring);
  r.ring.RingIndex = 3;
  r.ring.recorder = &sink;
  for (int i = 0; i < 5; ++i) WriteAllBuffers(r.ring);
  EXPECT_EQ(r.ring.RingIndex.load(), 3u);
  // Still exactly one of each header in the device queue: 8 returns, then silence.
  for (int i = 0; i < 8; ++i) EXPECT_EQ(r.PlayOne(), i);
  EXPECT_EQ(r.PlayOne(), -1);
  EXPECT_EQ(r.device.UnderrunSamples(), 1024u);
  // All back now: the next round is taken whole.
  WriteAllBuffers(r.ring);
  EXPECT_EQ(r.Queued(), 8);
  EXPECT_EQ(sink.appends.load(), 0);
}

// A block is recorded when it comes back played, with what it holds; one
// that a reset gives back unplayed is not.
TEST(WaveRing, APlayedReturnIsRecordedADiscardedOneIsNot) {
  Ring r;
  CountingSink sink;
  WriteAllBuffers(r.ring);
  r.ring.recorder = &sink;
  ASSERT_EQ(r.PlayOne(), 0);
  EXPECT_TRUE(TakeCompletion(r.ring, r.ring.WaveHeaders[0]));
  EXPECT_EQ(sink.appends.load(), 1);
  EXPECT_EQ(sink.total.load(), 2048u);
  EXPECT_EQ(sink.firstSample.load(), 100);
  ResetOutput(r.ring);
  while (auto m = r.queue.Peek()) EXPECT_FALSE(TakeCompletion(r.ring, *reinterpret_cast<WaveHeader*>(m->lParam)));
  EXPECT_EQ(sink.appends.load(), 1);
}

TEST(WaveRing, ResetMarksAllEightAndCompletionClearsTheMarks) {
  Ring r;
  for (int i = 0; i < 6; ++i) WriteNextBuffer(r.ring);  // headers 6 and 7 idle
  ResetOutput(r.ring);
  EXPECT_EQ(r.device.PlayedSamples(), 0u);
  EXPECT_EQ(r.Queued(), 0);
  for (const WaveHeader& h : r.ring.WaveHeaders) EXPECT_EQ(h.user.load(), 1u);
  int returned = 0;
  while (auto m = r.queue.Peek()) {
    ASSERT_EQ(m->id, MessageId::WaveOutDone);
    auto* h = reinterpret_cast<WaveHeader*>(m->lParam);
    EXPECT_FALSE(TakeCompletion(r.ring, *h)) << "a discarded buffer is not refilled";
    EXPECT_EQ(h->user.load(), 0u);
    ++returned;
  }
  EXPECT_EQ(returned, 6);
}

// The audio thread's side of a restart: it takes the returns while the window
// thread waits for them.
TEST(WaveRing, RestartDrainsAndRequeuesInRingOrderFromTheUnchangedIndex) {
  Ring r;
  WriteAllBuffers(r.ring);
  for (int i = 0; i < 3; ++i) {
    const int back = r.PlayOne();
    ASSERT_TRUE(TakeCompletion(r.ring, r.ring.WaveHeaders[back]));
    WriteNextBuffer(r.ring);
  }
  ASSERT_EQ(r.ring.RingIndex.load(), 3u);
  std::atomic<bool> stop{false};
  std::atomic<int> discarded{0};
  std::thread audio([&] {
    while (!stop) {
      if (auto m = r.queue.GetFor(std::chrono::milliseconds(5))) {
        if (!TakeCompletion(r.ring, *reinterpret_cast<WaveHeader*>(m->lParam))) ++discarded;
      }
    }
  });
  EXPECT_TRUE(RestartSoundSystem(r.ring));
  stop = true;
  audio.join();
  EXPECT_EQ(discarded.load(), 8);
  EXPECT_EQ(r.ring.RingIndex.load(), 3u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(r.PlayOne(), (3 + i) % 8);
}

// A restart while the audio thread lags behind the device: the done message
// of a header that came back still waits, or the requeue of such a header is
// still in flight. The device keeps playing through the restart. Afterwards
// it must hold all eight, coming back in ring order from RingIndex, so that
// every completion requeues the header that has just come back.
class RestartWhileTheAudioThreadLags : public ::testing::TestWithParam<bool> {};

TEST_P(RestartWhileTheAudioThreadLags, LeavesEightBuffersInRingOrder) {
  const bool writeInFlight = GetParam();
  Ring r;
  WriteAllBuffers(r.ring);
  r.device.Advance(kBlockSamples);  // header 0 comes back
  if (writeInFlight) {
    ASSERT_TRUE(r.queue.Peek());
    ASSERT_TRUE(TakeCompletion(r.ring, r.ring.WaveHeaders[0]));  // its requeue is yet to come
  }
  auto anyMarked = [&] {
    for (const WaveHeader& h : r.ring.WaveHeaders) {
      if (h.user.load() != 0) return true;
    }
    return false;
  };
  std::atomic<bool> restarted{false};
  std::thread audio([&] {
    while (r.device.PlayedSamples() != 0) std::this_thread::yield();  // until the reset
    if (writeInFlight) WriteNextBuffer(r.ring);
    while (!restarted) {
      if (auto m = r.queue.Peek()) {
        if (TakeCompletion(r.ring, *reinterpret_cast<WaveHeader*>(m->lParam))) WriteNextBuffer(r.ring);
      } else if (anyMarked()) {
        r.device.Advance(kBlockSamples);  // the sound card plays on while the restart waits
      } else {
        std::this_thread::yield();
      }
    }
  });
  EXPECT_TRUE(RestartSoundSystem(r.ring));
  restarted = true;
  audio.join();

  EXPECT_EQ(r.Queued(), 8);
  const uint32_t start = r.ring.RingIndex.load();
  for (uint32_t i = 0; i < 16; ++i) {
    ASSERT_EQ(r.PlayOne(), static_cast<int>((start + i) % 8)) << "return " << i;
    ASSERT_TRUE(TakeCompletion(r.ring, r.ring.WaveHeaders[(start + i) % 8]));
    WriteNextBuffer(r.ring);
    ASSERT_EQ(r.Queued(), 8) << "a requeue was refused after return " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(PendingDoneOrWriteInFlight, RestartWhileTheAudioThreadLags, ::testing::Bool());

TEST(WaveRing, RestartWaitIsBoundedWhenNobodyTakesTheReturns) {
  Ring r;
  WriteAllBuffers(r.ring);
  EXPECT_FALSE(RestartSoundSystem(r.ring));
  for (const WaveHeader& h : r.ring.WaveHeaders) EXPECT_EQ(h.user.load(), 0u);
  EXPECT_EQ(r.Queued(), 8);
}

// The audio thread requeues while the window and the sequencer thread write
// all buffers: no header is ever queued twice and the index stays consistent.
TEST(WaveRingThreads, WritersOnThreeThreadsKeepTheRingConsistent) {
  Ring r;
  CountingSink sink;
  r.ring.recorder = &sink;
  WriteAllBuffers(r.ring);
  std::atomic<bool> stop{false};
  std::atomic<int> writes{8};
  std::atomic<int> played{0};  // returns the audio thread took
  std::thread pump([&] {
    for (int i = 0; i < 4000; ++i) {
      r.device.Advance(256);
      while (auto m = r.queue.Peek()) {
        if (TakeCompletion(r.ring, *reinterpret_cast<WaveHeader*>(m->lParam))) {
          played.fetch_add(1);
          WriteNextBuffer(r.ring);
          writes.fetch_add(1);
        }
      }
    }
    stop = true;
  });
  auto loader = [&] {
    while (!stop) {
      WriteAllBuffers(r.ring);
      writes.fetch_add(8);
      std::this_thread::yield();
    }
  };
  std::thread window(loader), sequencer(loader);
  pump.join();
  window.join();
  sequencer.join();
  EXPECT_EQ(r.ring.RingIndex.load(), static_cast<uint32_t>(writes.load() % 8));
  EXPECT_LE(r.Queued(), 8);
  r.device.Reset();
  int returned = 0;
  while (r.queue.Peek()) ++returned;
  EXPECT_LE(returned, 8) << "a header was in the device queue twice";
  EXPECT_EQ(sink.appends.load(), played.load()) << "one append per block played, whoever queued it";
}

}  // namespace
}  // namespace tavolin
