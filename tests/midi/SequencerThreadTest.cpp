// The sequencer on its own thread: waits that end early, and a window
// thread that is never held up by them.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "PlayerRig.h"
#include "RecordingReporter.h"
#include "TempFiles.h"
#include "audio/RenderBlock.h"
#include "host/Lifecycle.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "synth/VoiceHandOff.h"
#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

using Clock = std::chrono::steady_clock;
using test::WaitUntil;

class QuietWindow final : public WindowPort {
 public:
  void RequestRepaint() override {}
  void ShowError(std::string_view, std::string_view) override {}
};

// Time that moves only when told, and counts how often it is read; a
// reading may do something on the side.
class WatchedClock final : public tavolin::Clock {
 public:
  uint32_t Milliseconds() const override {
    reads.fetch_add(1, std::memory_order_relaxed);
    if (onRead) onRead();
    return now.load(std::memory_order_relaxed);
  }
  void Set(uint32_t ms) { now.store(ms, std::memory_order_relaxed); }

  std::atomic<uint32_t> now{0};
  mutable std::atomic<uint64_t> reads{0};
  std::function<void()> onRead;  // set before the threads start
};

struct ThreadedPlayer : ::testing::Test {
  QuietWindow window;
  WatchedClock clock;  // stands still: every wait is for the whole pause
  test::RecordingReporter reporter;
  std::unique_ptr<App> app = std::make_unique<App>(window, clock);

  void SetUp() override {
    app->player.reporter = &reporter;
    StartUpOptions options;
    options.openDevice = [](const WaveFormat&, MessageQueue& queue) {
      return WaveOutOpenResult{std::make_unique<VirtualWaveOut>(queue), {}};
    };
    ASSERT_EQ(StartUp(*app, options), StartUpResult::Running);
  }
  void TearDown() override {
    if (!shutDown) {
      EXPECT_EQ(ShutDown(*app), ShutDownResult::Clean);
    }
  }
  bool shutDown = false;

  int Active() {
    int n = 0;
    for (const VoiceSlot& s : app->synth.voices) n += IsActive(s) ? 1 : 0;
    return n;
  }
};

// A note, a pause of a minute, another note.
EventList LongPause() {
  return {{.type = NoteOn, .time = 0, .channel = 0, .key = 60, .level = 100},
          {.type = NoteOn, .time = 60000, .channel = 0, .key = 62, .level = 100}};
}

TEST_F(ThreadedPlayer, StopEndsALongWaitAndNothingMoreIsDispatched) {
  InstallSong(app->player, LongPause(), "pause.mid");
  StartPlayback(app->player);
  ASSERT_TRUE(WaitUntil([&] { return Active() == 1; }));
  const auto before = Clock::now();
  StopPlayback(app->player);
  // The window thread gets the lock at once while the sequencer waits.
  CloseMidiFile(app->player);
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(10));  // not held up by the pause, however busy the machine
  clock.Set(120000);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Active(), 1);
}

TEST_F(ThreadedPlayer, RestartDuringAWaitPlaysAtOnce) {
  InstallSong(app->player, LongPause(), "pause.mid");
  StartPlayback(app->player);
  ASSERT_TRUE(WaitUntil([&] { return Active() == 1; }));
  ClearVoiceTable(app->synth.voices);
  StartPlayback(app->player);
  EXPECT_TRUE(WaitUntil([&] { return Active() == 1; }, std::chrono::milliseconds(10000)));
}

TEST_F(ThreadedPlayer, SkipAheadFromTheWindowThreadWhileTheSequencerWaits) {
  InstallSong(app->player,
              {{.type = NoteOn, .time = 0, .channel = 0, .key = 60, .level = 100},
               {.type = NoteOff, .time = 500, .channel = 0, .key = 60},
               {.type = NoteOn, .time = 1500, .channel = 0, .key = 62, .level = 100}},
              "skip.mid");
  StartPlayback(app->player);
  ASSERT_TRUE(WaitUntil([&] { return Active() == 1; }));
  SkipAhead(app->player);
  EXPECT_TRUE(WaitUntil([&] { return Active() == 0; })) << "the note ending inside the skipped second is cut off";
  clock.Set(501);  // song time 1501
  EXPECT_TRUE(WaitUntil([&] { return Active() == 1; }));
}

TEST_F(ThreadedPlayer, ShutDownEndsALongWait) {
  InstallSong(app->player, LongPause(), "pause.mid");
  StartPlayback(app->player);
  ASSERT_TRUE(WaitUntil([&] { return Active() == 1; }));
  const auto before = Clock::now();
  shutDown = true;
  EXPECT_EQ(ShutDown(*app), ShutDownResult::Clean);
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(10));  // not held up by the pause, however busy the machine
}

// How often a thread of this process has gone to sleep (and so been woken).
uint64_t Sleeps(ThreadId thread) {
  std::ifstream status("/proc/self/task/" + std::to_string(thread) + "/status");
  const std::string key = "voluntary_ctxt_switches:";
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key, 0) == 0) return std::stoull(line.substr(key.size()));
  }
  return 0;
}

// With nothing to play (no song, a song loaded, a song played out) the
// sequencer sleeps until a load, a command or shut-down wakes it: it does
// not poll.
TEST_F(ThreadedPlayer, WithNothingToPlayTheSequencerSleepsUntilWoken) {
  ASSERT_TRUE(WaitUntil([&] { return app->sequencerThread.SystemId() != 0; }));
  const ThreadId sequencer = app->sequencerThread.SystemId();
  const auto expectAsleep = [&](const char* state) {
    const uint64_t before = Sleeps(sequencer);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(Sleeps(sequencer) - before, 2u) << state;  // the wake-up of the step before, at most
  };
  expectAsleep("no song");
  InstallSong(app->player, {{.type = NoteOn, .time = 0, .channel = 0, .key = 60, .level = 100}}, "one.mid");
  expectAsleep("loaded");
  StartPlayback(app->player);
  ASSERT_TRUE(WaitUntil([&] { return Active() == 1; }));
  expectAsleep("played out");
}

// Shut-down sets the stop flag and wakes the sequencer just after the
// sequencer looked at the flag and before it sleeps: it must not sleep.
TEST(SequencerShutDown, StopJustBeforeTheWaitEndsTheThread) {
  QuietWindow window;
  WatchedClock clock;
  auto app = std::make_unique<App>(window, clock);
  std::atomic<bool> stopped{false};
  clock.onRead = [&] {
    if (CurrentThreadId() != app->sequencerThread.SystemId() || app->player.ClockStarted.load() == 0) return;
    if (stopped.exchange(true)) return;
    app->stopFlag.store(1);  // what shut-down does, at the worst moment
    WakeSequencer(app->player);
  };
  StartUpOptions options;
  options.openDevice = [](const WaveFormat&, MessageQueue& queue) {
    return WaveOutOpenResult{std::make_unique<VirtualWaveOut>(queue), {}};
  };
  ASSERT_EQ(StartUp(*app, options), StartUpResult::Running);
  InstallSong(app->player, LongPause(), "pause.mid");
  StartPlayback(app->player);
  EXPECT_TRUE(app->sequencerThread.JoinFor(std::chrono::milliseconds(4000)));
  EXPECT_TRUE(stopped.load());
  EXPECT_EQ(ShutDown(*app), ShutDownResult::Clean);
}

// The sequencer thread reads and converts a playlist's next file at normal
// priority: at its real-time one it would hold up the audio thread sharing
// its core. It gets that priority back to play the song.
TEST_F(ThreadedPlayer, ThePlaylistsNextFileIsConvertedAtNormalPriority) {
  ASSERT_TRUE(WaitUntil([&] { return app->sequencerThread.SystemId() != 0; }));
  const auto sequencerPolicy = [&] {
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(app->sequencerThread.Native().native_handle(), &policy, &param);
    return std::pair{policy, param.sched_priority};
  };
  const auto realtime = sequencerPolicy();
  if (realtime.first != SCHED_FIFO) GTEST_SKIP() << "the system refuses real-time priority";
  std::atomic<int> policyWhileConverting{-1};
  reporter.onTitle = [&](std::string_view title) {
    if (title == "Converting..." && CurrentThreadId() == app->sequencerThread.SystemId()) {
      policyWhileConverting.store(sched_getscheduler(0));
    }
  };
  test::TempFiles files;
  const std::string next = files.Write("next.mid", test::Smf(0, 480, {{0x00, 0x90, 0x3E, 0x64}}));
  ASSERT_TRUE(
      OpenPlaylist(app->player, {files.Write("first.mid", test::Smf(0, 480, {{0x00, 0x90, 0x3C, 0x64}})), next}));
  StartPlayback(app->player);  // its one event ends it at once
  // Waits for the title rather than the song: libstdc++ 12's atomic
  // shared_ptr lets a load go with relaxed order, which ThreadSanitizer takes
  // for a race with the sequencer's next store.
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<std::string> titles = reporter.Titles();
    return std::find(titles.begin(), titles.end(), "Tavolin - " + next) != titles.end();
  }));
  EXPECT_EQ(policyWhileConverting.load(), SCHED_OTHER);
  EXPECT_EQ(sequencerPolicy(), realtime);
}

// Whether another thread could take `lock` now, that is: the caller does not hold it.
bool FreeForOthers(std::recursive_mutex& lock) {
  bool free = false;
  std::thread([&] {
    if (!lock.try_lock()) return;
    free = true;
    lock.unlock();
  }).join();
  return free;
}

// Whichever way the song is closed, the title is set with the sequencer
// lock free: setting it goes through the window, and the sequencer must
// never wait for the lock behind that.
TEST(SequencerTitles, AreSetWithTheLockFree) {
  test::PlayerRig rig;
  test::TempFiles files;
  Player& player = rig.player;
  std::atomic<int> heldTitles{0};
  rig.reporter.onTitle = [&](std::string_view) {
    if (!FreeForOthers(rig.lock)) ++heldTitles;
  };
  const std::string song = files.Write("a.mid", test::Smf(0, 480, {{0x00, 0x90, 0x3C, 0x64}}));
  const std::pair<const char*, std::function<void()>> closes[] = {
      {"F11", [&] { CloseMidiFile(player); }},
      {"Page Down without a playlist", [&] { NextPlaylistFile(player); }},
      {"Page Down to the next file",
       [&] {
         OpenPlaylist(player, {song, files.Write("empty.mid", test::Smf(0, 480, {{0x00, 0xFF, 0x2F, 0x00}}))});
         NextPlaylistFile(player);
       }},
      {"F11 left for the sequencer",
       [&] {
         std::unique_lock held(player.lock);
         std::thread([&] { CloseMidiFile(player); }).join();
         const std::atomic<int32_t> stop{0};
         SequencerPass(player, held, stop);
       }},
  };
  for (const auto& [name, close] : closes) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(LoadMidiFile(player, song));
    const size_t before = rig.reporter.Titles().size();
    close();
    const std::vector<std::string> titles = rig.reporter.Titles();
    EXPECT_NE(std::find(titles.begin() + static_cast<ptrdiff_t>(before), titles.end(), "Tavolin"), titles.end());
  }
  EXPECT_EQ(heldTitles.load(), 0);
}

// A note at 0 and one `gap` milliseconds later, as a file: 1 ms per tick,
// the ticks spread over text events of the longest delta.
test::Bytes GapFile(uint32_t gap) {
  test::Bytes track = {0x00, 0xFF, 0x51, 0x03, 0x00, 0x03, 0xE8, 0x00, 0x90, 0x3C, 0x64};
  for (; gap > 0x0FFFFFFF; gap -= 0x0FFFFFFF) track = test::Cat({track, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00}});
  const test::Bytes last = {static_cast<uint8_t>(0x80 | gap >> 21), static_cast<uint8_t>(0x80 | (gap >> 14 & 0x7F)),
                            static_cast<uint8_t>(0x80 | (gap >> 7 & 0x7F)), static_cast<uint8_t>(gap & 0x7F)};
  return test::Smf(0, 1, {test::Cat({track, last, {0x90, 0x3E, 0x64}})});
}

// Pauses of 2^31 ms and more: the sequencer sleeps through them (it does not
// read the clock over and over), and Stop and Close still end them.
TEST_F(ThreadedPlayer, PausesBeyondHalfTheClockSleepAndStillStop) {
  test::TempFiles files;
  for (const uint32_t gap : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(gap);
    ASSERT_TRUE(LoadMidiFile(app->player, files.Write("gap.mid", GapFile(gap))));
    ASSERT_EQ((*ViewSong(app->player).song)[2].time, gap);
    ClearVoiceTable(app->synth.voices);
    StartPlayback(app->player);
    ASSERT_TRUE(WaitUntil([&] { return Active() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return app->player.cursor.load() == 2; }));
    const uint64_t before = clock.reads.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LT(clock.reads.load() - before, 10u) << "the sequencer spins";
    StopPlayback(app->player);
    CloseMidiFile(app->player);
    EXPECT_TRUE(WaitUntil([&] { return app->player.cursor.load() == kNoCursor && !ViewSong(app->player).song; }));
  }
}

}  // namespace
}  // namespace tavolin
