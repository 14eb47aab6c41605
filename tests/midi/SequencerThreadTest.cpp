// The sequencer on its own thread: waits that end early, and a window
// thread that is never held up by them.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "RecordingReporter.h"
#include "app/Lifecycle.h"
#include "audio/RenderBlock.h"
#include "midi/player/Sequencer.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {
namespace {

using Clock = std::chrono::steady_clock;

class QuietWindow final : public WindowPort {
 public:
  void RequestRepaint() override {}
  void ShowError(std::string_view, std::string_view) override {}
};

template <typename Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct ThreadedPlayer : ::testing::Test {
  QuietWindow window;
  VirtualClock clock;  // stands still: every wait is for the whole pause
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
  EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(1000));
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
  EXPECT_TRUE(WaitUntil([&] { return Active() == 1; }, std::chrono::milliseconds(2000)));
}

TEST_F(ThreadedPlayer, SkipAheadFromTheWindowThreadWhileTheSequencerWaits) {
  InstallSong(app->player, {{.type = NoteOn, .time = 0, .channel = 0, .key = 60, .level = 100},
                            {.type = NoteOff, .time = 500, .channel = 0, .key = 60},
                            {.type = NoteOn, .time = 1500, .channel = 0, .key = 62, .level = 100}},
              "skip.mid");
  StartPlayback(app->player);
  ASSERT_TRUE(WaitUntil([&] { return Active() == 1; }));
  SkipAhead(app->player);
  EXPECT_EQ(Active(), 0) << "the note ending inside the skipped second is cut off";
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
  EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(1000));
}

}  // namespace
}  // namespace tavolin
