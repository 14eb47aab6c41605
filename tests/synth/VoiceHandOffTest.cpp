#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "synth/Synth.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {
namespace {

// Every voice a test starts carries a token in several fields, so that a copy
// mixing two voices (half-filled, or two writers in one slot) shows.
NoteStart Tokened(double token, int32_t channel = 0) {
  NoteStart n;
  n.freq = token;
  n.amp = token * 2;
  n.life = token * 3;
  n.sweepRate = token * 5;
  n.channel = channel;
  n.note = static_cast<int32_t>(static_cast<int64_t>(token) % 1000);
  return n;
}

bool Consistent(const Voice& v) {
  return v.amp == v.freq * 2 && v.lifeTotal == v.freq * 3 && v.sweepRate == v.freq * 5 &&
         v.note == static_cast<int32_t>(static_cast<int64_t>(v.freq) % 1000) && (v.resoY == 0.0 || v.resoY == v.freq);
}

// One pass of a stand-in renderer over the table, using the hand-over the
// real renderer uses. It marks each voice it writes back (resoY := token), so
// a write-back that lands on a newer voice is caught by Consistent().
struct TestRenderer {
  std::atomic<uint64_t> passes{0};
  std::atomic<uint64_t> torn{0};
  std::atomic<uint64_t> rendered{0};

  void Pass(VoiceTable& table) {
    for (VoiceSlot& slot : table) {
      Voice v;
      VoiceTicket ticket;
      if (!BeginRender(slot, v, ticket)) continue;
      if (!Consistent(v)) torn.fetch_add(1);
      rendered.fetch_add(1, std::memory_order_relaxed);
      v.resoY = v.freq;
      v.phase += 1.0;
      v.counter += 1;
      const bool ended = v.gate == 0;  // a released voice ends on its next block
      if (!BeginWriteBack(slot, ticket)) continue;
      slot.resoY.store(v.resoY, std::memory_order_relaxed);
      slot.phase.store(v.phase, std::memory_order_relaxed);
      slot.counter.store(v.counter, std::memory_order_relaxed);
      EndWriteBack(slot, ticket, ended);
    }
    passes.fetch_add(1, std::memory_order_release);
  }
};

TEST(VoiceHandOff, ClaimsLowestFreeSlotAndDropsWhenFull) {
  Synth synth;
  for (int i = 0; i < kVoiceCount; ++i) ASSERT_EQ(StartVoice(synth.voices, Tokened(i + 1)), i);
  EXPECT_EQ(StartVoice(synth.voices, Tokened(999)), -1);
  for (int i = 0; i < kVoiceCount; ++i) EXPECT_EQ(synth.voices[i].freq, i + 1) << "slot changed";

  KillVoice(synth.voices[2]);
  KillVoice(synth.voices[0]);
  EXPECT_FALSE(IsActive(synth.voices[0]));
  EXPECT_EQ(StartVoice(synth.voices, Tokened(500)), 0);
  EXPECT_EQ(StartVoice(synth.voices, Tokened(501)), 2);
}

TEST(VoiceHandOff, NoteStartFieldsAndWhatTheSlotKeeps) {
  Synth synth;
  VoiceSlot& slot = synth.voices[0];
  slot.holdValue = 0.25;
  slot.phase2 = 0.75;
  slot.counter = 77;
  NoteStart n = Tokened(7);
  n.startOffset = 300;
  n.mode = 9;
  ASSERT_EQ(StartVoice(synth.voices, n), 0);
  EXPECT_TRUE(IsActive(slot));
  EXPECT_EQ(slot.startOffset, 300);
  EXPECT_EQ(slot.lifeLeft, 21.0);
  EXPECT_EQ(slot.lifeTotal, 21.0);
  EXPECT_EQ(slot.counter, 0u);
  EXPECT_EQ(slot.mode, 9);
  EXPECT_EQ(slot.gate, 1);
  EXPECT_EQ(slot.holdValue, 0.25);  // kept from the previous voice
  EXPECT_EQ(slot.phase2, 0.75);     // kept unless the source resets it

  KillVoice(slot);
  n.resetPhase2 = true;
  ASSERT_EQ(StartVoice(synth.voices, n), 0);
  EXPECT_EQ(slot.phase2, 0.0);
}

TEST(VoiceHandOff, WriteBackIsDroppedForAKilledOrReplacedVoice) {
  Synth synth;
  VoiceSlot& slot = synth.voices[0];
  ASSERT_EQ(StartVoice(synth.voices, Tokened(1)), 0);
  Voice copy;
  VoiceTicket ticket;
  ASSERT_TRUE(BeginRender(slot, copy, ticket));
  EXPECT_EQ(copy.freq, 1.0);
  // Killed and claimed again while the old voice renders.
  KillVoice(slot);
  ASSERT_EQ(StartVoice(synth.voices, Tokened(2)), 0);
  EXPECT_FALSE(BeginWriteBack(slot, ticket));
  EXPECT_TRUE(IsActive(slot));
  EXPECT_EQ(slot.freq, 2.0);
}

TEST(VoiceHandOff, KillDuringWriteBackIsHonouredWhenItEnds) {
  Synth synth;
  VoiceSlot& slot = synth.voices[5];
  for (int i = 0; i < 6; ++i) StartVoice(synth.voices, Tokened(i + 1));
  Voice copy;
  VoiceTicket ticket;
  ASSERT_TRUE(BeginRender(slot, copy, ticket));
  ASSERT_TRUE(BeginWriteBack(slot, ticket));
  EXPECT_TRUE(IsActive(slot));
  KillVoice(slot);
  EXPECT_FALSE(IsActive(slot));
  EXPECT_EQ(StartVoice(synth.voices, Tokened(9)), 6) << "a slot under write-back is not free yet";
  EndWriteBack(slot, ticket, /*ended=*/false);
  EXPECT_FALSE(IsActive(slot));
  EXPECT_EQ(StartVoice(synth.voices, Tokened(10)), 5);
}

TEST(VoiceHandOff, RenderEndingTheVoiceFreesTheSlot) {
  Synth synth;
  ASSERT_EQ(StartVoice(synth.voices, Tokened(1)), 0);
  Voice copy;
  VoiceTicket ticket;
  ASSERT_TRUE(BeginRender(synth.voices[0], copy, ticket));
  ASSERT_TRUE(BeginWriteBack(synth.voices[0], ticket));
  EndWriteBack(synth.voices[0], ticket, /*ended=*/true);
  EXPECT_FALSE(IsActive(synth.voices[0]));
  EXPECT_FALSE(BeginRender(synth.voices[0], copy, ticket));
}

// A note-off found its voice, then the voice ended and the slot went to
// another note before the note-off acted: the new voice is left alone,
// also when the old one ended during a release in progress.
TEST(VoiceHandOff, ReleaseAndKillNameTheVoiceTheyFound) {
  Synth synth;
  VoiceSlot& slot = synth.voices[0];
  ASSERT_EQ(StartVoice(synth.voices, Tokened(1)), 0);
  VoiceId found = 0;
  ASSERT_TRUE(FindActiveVoice(slot, found));
  KillVoice(slot);
  ASSERT_EQ(StartVoice(synth.voices, Tokened(2)), 0);
  ReleaseVoice(slot, found);
  KillVoice(slot, found);
  EXPECT_TRUE(IsActive(slot));
  EXPECT_EQ(slot.gate, 1);

  VoiceId current = 0;
  ASSERT_TRUE(FindActiveVoice(slot, current));
  EXPECT_NE(current, found);
  ReleaseVoice(slot, current);
  EXPECT_EQ(slot.gate, 0);
  KillVoice(slot, current);
  EXPECT_FALSE(IsActive(slot));
}

// Three writers claim at the same moment with no one freeing: every claim
// gets its own slot and every slot holds exactly the voice its claimer wrote.
TEST(VoiceHandOffThreads, ConcurrentClaimsNeverShareASlot) {
  auto synth = std::make_unique<Synth>();
  constexpr int kWriters = 3;
  constexpr int kPerWriter = 42;  // 126 of 128
  std::atomic<bool> go{false};
  std::vector<std::vector<std::pair<int, double>>> claims(kWriters);
  std::vector<std::thread> writers;
  writers.reserve(kWriters);
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      while (!go.load()) {
      }
      for (int i = 0; i < kPerWriter; ++i) {
        const double token = w * 1000 + i + 1;
        claims[w].emplace_back(StartVoice(synth->voices, Tokened(token, w)), token);
      }
    });
  }
  go = true;
  for (auto& t : writers) t.join();
  std::set<int> slots;
  for (const auto& list : claims) {
    for (auto [slot, token] : list) {
      ASSERT_GE(slot, 0);
      EXPECT_TRUE(slots.insert(slot).second) << "slot " << slot << " claimed twice";
      EXPECT_EQ(synth->voices[slot].freq, token);
      EXPECT_EQ(synth->voices[slot].amp, token * 2);
    }
  }
  EXPECT_EQ(*slots.rbegin(), kWriters * kPerWriter - 1) << "claims are lowest-first";
}

// Writers start, release and kill at full speed against a renderer. The
// renderer must never see a half-filled or mixed voice, and a kill must never
// be undone by a write-back.
TEST(VoiceHandOffThreads, StartReleaseKillAgainstRenderer) {
  auto synth = std::make_unique<Synth>();
  TestRenderer renderer;
  std::atomic<bool> stop{false};
  std::thread render([&] {
    while (!stop.load(std::memory_order_relaxed)) renderer.Pass(synth->voices);
  });

  constexpr int kWriters = 3;
  constexpr int kOpsPerWriter = 100000;
  std::atomic<uint64_t> lostKills{0};
  std::atomic<uint64_t> foreignReleases{0};
  std::atomic<uint64_t> kills{0};
  std::vector<std::thread> writers;
  writers.reserve(kWriters);
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      std::mt19937 rng(w + 1);
      struct Mine {
        int slot;
        double token;
      };
      struct Killed {
        int slot;
        double token;
        uint64_t pass;
      };
      std::vector<Mine> mine;
      std::vector<Killed> killed;
      auto checkKills = [&](bool all) {
        const uint64_t now = renderer.passes.load(std::memory_order_acquire);
        std::erase_if(killed, [&](const Killed& k) {
          if (!all && now < k.pass + 2) return false;
          const VoiceSlot& s = synth->voices[k.slot];
          if (IsActive(s) && s.freq.load() == k.token) lostKills.fetch_add(1);
          return true;
        });
      };
      for (int op = 0; op < kOpsPerWriter; ++op) {
        const double token = (w + 1) * 1e6 + op;
        const int choice = static_cast<int>(rng() % 8);
        if (choice < 4 || mine.empty()) {
          const int slot = StartVoice(synth->voices, Tokened(token, w));
          if (slot >= 0) mine.push_back({slot, token});
        } else {
          const size_t pick = rng() % mine.size();
          const Mine m = mine[pick];
          mine.erase(mine.begin() + static_cast<long>(pick));
          VoiceSlot& s = synth->voices[m.slot];
          VoiceId id = 0;
          if (!FindActiveVoice(s, id) || s.freq.load() != m.token) continue;  // already ended
          // Only this writer releases its voices, and this one it has not.
          if (s.gate.load() == 0) foreignReleases.fetch_add(1);
          if (choice < 6) {
            ReleaseVoice(s, id);
          } else {
            KillVoice(s, id);
            kills.fetch_add(1);
            killed.push_back({m.slot, m.token, renderer.passes.load(std::memory_order_acquire)});
          }
        }
        if (op % 64 == 0) checkKills(false);
      }
      // Let every pending kill meet at least two more renderer passes.
      const uint64_t target = renderer.passes.load() + 2;
      while (renderer.passes.load() < target) std::this_thread::yield();
      checkKills(true);
    });
  }
  for (auto& t : writers) t.join();
  stop = true;
  render.join();

  EXPECT_EQ(renderer.torn.load(), 0u) << "renderer saw a half-filled or mixed voice";
  EXPECT_EQ(lostKills.load(), 0u);
  EXPECT_EQ(foreignReleases.load(), 0u) << "a release landed on another writer's voice";
  EXPECT_GT(kills.load(), 0u);
  EXPECT_GT(renderer.rendered.load(), 0u);
}

}  // namespace
}  // namespace tavolin
