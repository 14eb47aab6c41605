// The log lines' way from the MIDI input thread to the window thread: order,
// the full ring, the closed state, and no lost doorbell while both threads
// race.

#include <gtest/gtest.h>
#include <poll.h>

#include <thread>
#include <vector>

#include "midi/input/MidiLogRing.h"

namespace tavolin {
namespace {

std::vector<int> DrainAll(MidiLogRing& ring, uint64_t& dropped) {
  std::vector<int> got;
  dropped = ring.Drain([&got](const MidiLogEntry& e) { got.push_back(e.data2); });
  return got;
}

bool DoorbellRings(const MidiLogRing& ring, int timeoutMs) {
  pollfd fd{ring.DoorbellFd(), POLLIN, 0};
  return poll(&fd, 1, timeoutMs) == 1;
}

TEST(MidiLogRing, LogsOnlyWhileOpenAndANewOpeningStartsEmpty) {
  MidiLogRing ring;
  ring.Log(0x90, 0x3C, 1);
  EXPECT_FALSE(DoorbellRings(ring, 0));
  ring.Open();
  ring.Log(0x90, 0x3C, 2);
  ring.Close();
  ring.Log(0x90, 0x3C, 3);
  ring.Open();  // the line of the earlier window is not shown in this one
  ring.Log(0x80, 0x3C, 4);
  ASSERT_TRUE(DoorbellRings(ring, 0));
  uint64_t dropped = 0;
  EXPECT_EQ(DrainAll(ring, dropped), std::vector<int>{4});
  EXPECT_FALSE(DoorbellRings(ring, 0));
}

TEST(MidiLogRing, FullRingCountsWhatItDrops) {
  MidiLogRing ring;
  ring.Open();
  for (size_t i = 0; i < MidiLogRing::kCapacity + 5; ++i) ring.Log(0xB0, 7, static_cast<uint8_t>(i));
  uint64_t dropped = 0;
  const std::vector<int> got = DrainAll(ring, dropped);
  ASSERT_EQ(got.size(), MidiLogRing::kCapacity);
  EXPECT_EQ(got.back(), static_cast<uint8_t>(MidiLogRing::kCapacity - 1));
  EXPECT_EQ(dropped, 5u);
  DrainAll(ring, dropped);
  EXPECT_EQ(dropped, 0u);
}

// The consumer drains only when the doorbell rings: a lost ring would leave
// messages waiting and the loop would run into its bound.
TEST(MidiLogRing, EveryMessageArrivesInOrderOrIsCountedWhileThreadsRace) {
  constexpr uint32_t kMessages = 200000;
  MidiLogRing ring;
  ring.Open();
  std::thread input([&ring] {
    for (uint32_t i = 0; i < kMessages; ++i) {
      ring.Log(static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i));
    }
  });
  uint64_t received = 0;
  uint64_t dropped = 0;
  int64_t last = -1;
  bool inOrder = true;
  while (received + dropped < kMessages && DoorbellRings(ring, 30000)) {
    dropped += ring.Drain([&](const MidiLogEntry& e) {
      const int64_t n = (int64_t{e.status} << 16) | (int64_t{e.data1} << 8) | e.data2;
      inOrder = inOrder && n > last;
      last = n;
      ++received;
    });
  }
  input.join();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(received + dropped, kMessages);
}

}  // namespace
}  // namespace tavolin
