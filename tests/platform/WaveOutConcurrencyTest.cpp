// The device under concurrent writers, a pump and resets (run under ThreadSanitizer).

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "WaveTestBuffers.h"
#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using test::TestBuffers;

// The pump side of the virtual device, run on a thread of its own as a sound
// card's callback would be.
void PumpUntil(VirtualWaveOut& device, const std::atomic<bool>& stop) {
  const std::array<uint32_t, 4> sizes{256, 333, 1024, 4096};
  std::vector<int16_t> out(4096);
  for (size_t n = 0; !stop.load(std::memory_order_relaxed); ++n) {
    device.Advance(sizes[n % sizes.size()], out.data());
    std::this_thread::yield();
  }
}

TEST(WaveOutConcurrency, TwoWritersRacingForOneHeaderQueueItOnce) {
  MessageQueue notify;
  VirtualWaveOut device(notify);
  TestBuffers buffers(1);
  ASSERT_TRUE(device.Prepare(buffers[0]));
  constexpr int kRounds = 2000;
  std::barrier sync(3);
  std::array<std::atomic<int>, 2> wins{};
  auto writer = [&](int w) {
    for (int round = 0; round < kRounds; ++round) {
      sync.arrive_and_wait();
      if (device.Write(buffers[0])) wins[w].fetch_add(1);
      sync.arrive_and_wait();
    }
  };
  std::thread a(writer, 0), b(writer, 1);
  for (int round = 0; round < kRounds; ++round) {
    sync.arrive_and_wait();
    sync.arrive_and_wait();
    device.Reset();
    int returned = 0;
    while (notify.Peek()) ++returned;
    ASSERT_EQ(returned, 1) << "round " << round;
  }
  a.join();
  b.join();
  EXPECT_EQ(wins[0] + wins[1], kRounds);
}

// A restart closes a failed device while the audio thread may be queueing a
// header on it: the write is either refused or lands before Close gives
// everything back. It never stays queued on a closed device, where the next
// device would refuse the header for good.
TEST(WaveOutConcurrency, AWriteRacingWithCloseIsRefusedOrGivenBack) {
  TestBuffers buffers(1);
  constexpr int kRounds = 1000;
  for (int round = 0; round < kRounds; ++round) {
    MessageQueue notify;
    VirtualWaveOut device(notify);
    ASSERT_TRUE(device.Prepare(buffers[0]));
    std::barrier sync(2);
    bool written = false;
    std::thread writer([&] {
      sync.arrive_and_wait();
      written = device.Write(buffers[0]);
    });
    sync.arrive_and_wait();
    device.Close();
    writer.join();
    ASSERT_EQ(buffers[0].flags.load() & WHDR_INQUEUE, 0u) << "round " << round << ", written " << written;
  }
}

// Two writers keep their headers cycling (each queues its own again on the
// done message and also tries any header at random), a pump plays, a third
// thread resets now and then. Every successful write comes back exactly
// once, and at the end every header is back.
TEST(WaveOutConcurrency, WritersPumpAndResetsLoseNothing) {
  constexpr uint32_t kHeaders = 8;
  MessageQueue notify(1024);
  VirtualWaveOut device(notify);
  TestBuffers buffers(kHeaders);
  for (uint32_t k = 0; k < kHeaders; ++k) ASSERT_TRUE(device.Prepare(buffers[k]));

  std::array<std::atomic<uint64_t>, kHeaders> writes{};
  std::array<uint64_t, kHeaders> returns{};
  std::array<MessageQueue, 2> writerQueues{MessageQueue(64), MessageQueue(64)};
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> routed{0};

  auto tryWrite = [&](uint32_t k) {
    if (device.Write(buffers[k])) writes[k].fetch_add(1, std::memory_order_relaxed);
  };
  // The notification queue has one owner; it hands each header to the writer that owns it.
  std::thread router([&] {
    for (;;) {
      const Message message = notify.Get();
      if (message.id == MessageId::Null) return;
      const uint32_t k = buffers.IndexOf(message.lParam);
      ASSERT_LT(k, kHeaders);
      ++returns[k];
      routed.fetch_add(1, std::memory_order_relaxed);
      writerQueues[k % 2].Post(message);
    }
  });
  std::vector<std::thread> writers;
  for (uint32_t w = 0; w < 2; ++w) {
    writers.emplace_back([&, w] {
      std::minstd_rand random(w + 1);
      for (uint32_t k = w; k < kHeaders; k += 2) tryWrite(k);
      while (!stop.load(std::memory_order_relaxed)) {
        if (auto message = writerQueues[w].GetFor(1ms)) tryWrite(buffers.IndexOf(message->lParam));
        tryWrite(random() % kHeaders);
      }
    });
  }
  std::thread pump([&] { PumpUntil(device, stop); });
  std::thread resetter([&] {
    while (!stop.load(std::memory_order_relaxed)) {
      std::this_thread::sleep_for(2ms);
      device.Reset();
    }
  });

  // Until the ring has cycled a good while, however busy the machine is.
  test::WaitUntil([&] { return routed.load() >= 2000 && device.Totals().playedSamples > 0; }, 60s);
  stop.store(true);
  for (auto& writer : writers) writer.join();
  pump.join();
  resetter.join();
  device.Reset();  // gives back whatever the writers left queued
  notify.Post({});
  router.join();

  uint64_t total = 0;
  for (uint32_t k = 0; k < kHeaders; ++k) {
    EXPECT_EQ(writes[k].load(), returns[k]) << "header " << k;
    EXPECT_EQ(buffers[k].flags.load() & WHDR_INQUEUE, 0u) << "header " << k;
    EXPECT_TRUE(device.Unprepare(buffers[k]));
    total += returns[k];
  }
  EXPECT_GE(total, 2000u);  // the ring really cycled
  EXPECT_GT(device.Totals().playedSamples, 0u);
}

}  // namespace
}  // namespace tavolin
