#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/Lifecycle.h"
#include "host/SoundReports.h"
#include "tests/WaitUntil.h"
#include "tests/platform/WaveFileBytes.h"
#include "tests/synth/ReleaseAnyVoice.h"

namespace tavolin {
namespace {

using test::WaitUntil;

class FakeWindow final : public WindowPort {
 public:
  void RequestRepaint() override { repaints.fetch_add(1); }
  void ShowError(std::string_view text, std::string_view caption) override {
    std::lock_guard lock(mutex);
    errors.emplace_back(text, caption);
  }
  std::vector<std::pair<std::string, std::string>> Errors() {
    std::lock_guard lock(mutex);
    return errors;
  }
  std::atomic<int> repaints{0};

 private:
  std::mutex mutex;
  std::vector<std::pair<std::string, std::string>> errors;
};

struct Harness {
  FakeWindow window;
  VirtualClock clock;
  std::unique_ptr<App> app = std::make_unique<App>(window, clock);
  VirtualWaveOut* device = nullptr;  // the last one opened
  int opens = 0;
  // What start-up had done when it opened the device.
  bool threadsRunningAtOpen = false;
  bool memoryAllocatedAtOpen = true;
  bool tableBuiltAtOpen = true;

  StartUpOptions Options() {
    StartUpOptions options;
    options.openDevice = [this](const WaveFormat& format, MessageQueue& queue) {
      threadsRunningAtOpen = app->sequencerThread.Running() && app->audioThread.Running();
      memoryAllocatedAtOpen = app->ring.WaveData != nullptr;
      tableBuiltAtOpen = app->synth.noteFreq[45] != 0.0;
      EXPECT_EQ(format.samplesPerSec, 44100u);
      EXPECT_EQ(format.avgBytesPerSec, 88200u);
      EXPECT_EQ(format.blockAlign, 2);
      EXPECT_EQ(format.bitsPerSample, 16);
      auto virtualDevice = std::make_unique<VirtualWaveOut>(queue);
      device = virtualDevice.get();
      ++opens;
      return WaveOutOpenResult{std::move(virtualDevice), {}};
    };
    return options;
  }
};

TEST(Lifecycle, StartUpRunsInOrderAndPrimesEightSilentBuffers) {
  Harness h;
  ASSERT_EQ(StartUp(*h.app, h.Options()), StartUpResult::Running);
  App& app = *h.app;
  EXPECT_TRUE(h.threadsRunningAtOpen) << "both worker threads start before the device opens";
  EXPECT_FALSE(h.memoryAllocatedAtOpen) << "work areas come after the device";
  EXPECT_FALSE(h.tableBuiltAtOpen);
  EXPECT_EQ(app.synth.noteFreq[45], 440.0);
  EXPECT_EQ(app.ring.RingIndex.load(), 0u);
  for (const WaveHeader& header : app.ring.WaveHeaders) {
    EXPECT_EQ(header.flags.load() & (WHDR_PREPARED | WHDR_INQUEUE), WHDR_PREPARED | WHDR_INQUEUE);
  }
  for (const VoiceSlot& slot : app.synth.voices) EXPECT_FALSE(IsActive(slot));
  EXPECT_TRUE(h.window.Errors().empty());

  // The device plays; the audio thread refills each returned buffer and keeps
  // the ring full. With no voice every block is silence.
  std::vector<int16_t> played(kBlockSamples);
  for (uint32_t block = 1; block <= 20; ++block) {
    h.device->Advance(kBlockSamples, played.data());
    EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](int16_t s) { return s == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return app.ring.RingIndex.load() == block % 8; })) << block;
  }
  EXPECT_EQ(h.device->UnderrunSamples(), 0u);

  EXPECT_EQ(ShutDown(app), ShutDownResult::Clean);
}

TEST(Lifecycle, ShutDownTakesEveryBufferBackBeforeReleasingHeadersAndMemory) {
  Harness h;
  ASSERT_EQ(StartUp(*h.app, h.Options()), StartUpResult::Running);
  App& app = *h.app;
  h.device->Advance(3 * kBlockSamples);
  ASSERT_TRUE(WaitUntil([&] { return app.ring.RingIndex.load() == 3; }));

  EXPECT_EQ(ShutDown(app), ShutDownResult::Clean);
  EXPECT_EQ(app.stopFlag.load(), 1);
  EXPECT_FALSE(app.sequencerThread.Running());
  EXPECT_FALSE(app.audioThread.Running());
  // An unprepare while the device still held a header would have been
  // refused and left it prepared.
  for (const WaveHeader& header : app.ring.WaveHeaders) {
    EXPECT_EQ(header.flags.load() & (WHDR_PREPARED | WHDR_INQUEUE), 0u);
  }
  EXPECT_EQ(app.ring.WaveData, nullptr);
  EXPECT_EQ(app.work.RingProduct, nullptr);
  EXPECT_EQ(app.ring.device, nullptr);
  EXPECT_EQ(app.outputs.Current(), nullptr);
  EXPECT_TRUE(h.window.Errors().empty()) << "no time-out boxes in the normal case";
}

// Closing the program while a recording runs finishes the file: its sizes
// are fixed and it holds every block queued until then.
TEST(Lifecycle, ARecordingStillRunningAtShutDownIsFinished) {
  Harness h;
  ASSERT_EQ(StartUp(*h.app, h.Options()), StartUpResult::Running);
  App& app = *h.app;
  const std::string path = (std::filesystem::temp_directory_path() / "tavolin-lifecycle-recording.wav").string();
  ASSERT_TRUE(app.recorder.Start(path));
  for (uint64_t block = 1; block <= 3; ++block) {
    h.device->Advance(kBlockSamples);
    // Counted once the block, and its append, are done.
    ASSERT_TRUE(WaitUntil([&] { return app.blockTimings.Count() == block; }));
  }
  EXPECT_EQ(ShutDown(app), ShutDownResult::Clean);
  EXPECT_FALSE(app.recorder.Recording());
  EXPECT_EQ(test::FinishedDataBytes(test::ReadAll(path)), 3u * 2048);
  EXPECT_TRUE(h.window.Errors().empty());
  std::filesystem::remove(path);
}

TEST(Lifecycle, DeviceThatFailsToOpenIsReportedAndEverythingStops) {
  FakeWindow window;
  VirtualClock clock;
  auto app = std::make_unique<App>(window, clock);
  StartUpOptions options;
  options.openDevice = [](const WaveFormat&, MessageQueue&) { return WaveOutOpenResult{nullptr, "no such device"}; };
  EXPECT_EQ(StartUp(*app, options), StartUpResult::DeviceOpenFailed);
  const auto errors = window.Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, "waveOutOpen were returned error.");
  EXPECT_EQ(errors[0].second, "Error");
  EXPECT_FALSE(app->sequencerThread.Running());
  EXPECT_FALSE(app->audioThread.Running());
  EXPECT_EQ(app->ring.WaveData, nullptr);
}

TEST(Lifecycle, RepaintIsRequestedEveryEighthBlock) {
  Harness h;
  ASSERT_EQ(StartUp(*h.app, h.Options()), StartUpResult::Running);
  for (uint32_t block = 1; block <= 24; ++block) {
    h.device->Advance(kBlockSamples);
    ASSERT_TRUE(WaitUntil([&] { return h.app->ring.RingIndex.load() == block % 8; }));
  }
  EXPECT_TRUE(WaitUntil([&] { return h.window.repaints.load() >= 3; }));
  EXPECT_EQ(ShutDown(*h.app), ShutDownResult::Clean);
  EXPECT_EQ(h.window.repaints.load(), 3);
}

// In virtual time: a device whose clock stops is reported once, after two
// seconds; the restart then opens a new one while the audio thread runs, and
// the ring plays on from the unchanged RingIndex.
TEST(Lifecycle, AStoppedDeviceIsReportedOnceAndTheRestartReplacesIt) {
  Harness h;
  ASSERT_EQ(StartUp(*h.app, h.Options()), StartUpResult::Running);
  App& app = *h.app;
  h.device->Advance(3 * kBlockSamples);
  ASSERT_TRUE(WaitUntil([&] { return app.ring.RingIndex.load() == 3; }));
  WatchSoundOutput(app);  // sees the device's clock move, at time 0
  h.clock.Advance(1999);
  WatchSoundOutput(app);
  EXPECT_TRUE(h.window.Errors().empty());
  h.clock.Advance(1);
  WatchSoundOutput(app);
  WatchSoundOutput(app);
  const auto errors = h.window.Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].first.find("press Delete"), std::string::npos);

  VirtualWaveOut* failed = h.device;
  EXPECT_TRUE(RestartSoundSystem(app.ring));
  ASSERT_EQ(h.opens, 2);
  EXPECT_EQ(app.ring.device.get(), h.device);
  for (uint32_t block = 1; block <= 16; ++block) {
    h.device->Advance(kBlockSamples);
    ASSERT_TRUE(WaitUntil([&] { return app.ring.RingIndex.load() == (3 + block) % 8; })) << block;
  }
  failed->Advance(kBlockSamples);  // closed: nothing more comes from it
  EXPECT_EQ(failed->PlayedSamples(), 0u);
  EXPECT_EQ(h.device->UnderrunSamples(), 0u);
  EXPECT_EQ(OutputReport(app.outputs.Totals()), "tavolin: 0.4 s of sound played; underruns: 0 samples in 0 events");
  EXPECT_EQ(ShutDown(app), ShutDownResult::Clean);
  EXPECT_EQ(h.window.Errors().size(), 1u);
}

// The pull path through start-up: a note sent to the MIDI input sounds
// within the samples handed out next, a recording holds each block once as
// it is handed out, and a device that stopped is replaced with the pipeline
// keeping its place (the played count goes on, no header is ever queued).
TEST(Lifecycle, ThePullPathPlaysANoteAtOnceAndKeepsItsPlaceAcrossARestart) {
  Harness h;
  StartUpOptions options = h.Options();
  options.path = OutputPath::Pull;
  ASSERT_EQ(StartUp(*h.app, options), StartUpResult::Running);
  App& app = *h.app;
  const std::string path = (std::filesystem::temp_directory_path() / "tavolin-lifecycle-pull.wav").string();
  ASSERT_TRUE(app.recorder.Start(path));
  std::vector<int16_t> out(2 * kBlockSamples, 1);
  h.device->Advance(300, out.data());
  EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 300, [](int16_t s) { return s == 0; }));
  app.midiIn.OnMessage(0x90, 45, 100);
  h.device->Advance(100, out.data());
  EXPECT_TRUE(std::any_of(out.begin(), out.begin() + 100, [](int16_t s) { return s != 0; }));

  WatchSoundOutput(app);
  h.clock.Advance(2000);
  EXPECT_TRUE(RestartSoundSystem(app.ring));
  ASSERT_EQ(h.opens, 2);
  EXPECT_EQ(h.device->PlayedSamples(), 400u);
  h.device->Advance(2 * kBlockSamples - 400, out.data());
  EXPECT_EQ(app.blockTimings.Count(), 2u);
  for (const WaveHeader& header : app.ring.WaveHeaders) EXPECT_EQ(header.flags.load() & WHDR_PREPARED, 0u);
  EXPECT_EQ(ShutDown(app), ShutDownResult::Clean);
  EXPECT_EQ(test::FinishedDataBytes(test::ReadAll(path)), 2u * 2048);
  EXPECT_EQ(app.pull, nullptr);
  std::filesystem::remove(path);
}

// The real-time path: the null device's own thread plays the ring while the
// audio thread renders a sounding voice into the buffers ahead of it.
TEST(Lifecycle, RunsInRealTimeOnTheNullDevice) {
  FakeWindow window;
  SteadyClock clock;
  auto app = std::make_unique<App>(window, clock);
  StartUpOptions options;
  options.device.kind = WaveOutKind::Null;
  ASSERT_EQ(StartUp(*app, options), StartUpResult::Running);
  NoteStart note;
  note.freq = app->synth.noteFreq[45];
  note.amp = 12288;
  note.life = 0.25;
  note.mode = 3;
  ASSERT_EQ(StartVoice(app->synth.voices, note), 0);
  ASSERT_TRUE(WaitUntil([&] { return app->ring.device->PlayedSamples() >= 12 * kBlockSamples; }));
  ReleaseAnyVoice(app->synth.voices[0]);
  ASSERT_TRUE(WaitUntil([&] { return !IsActive(app->synth.voices[0]); }));
  EXPECT_EQ(ShutDown(*app), ShutDownResult::Clean);
  EXPECT_TRUE(window.Errors().empty());
}

}  // namespace
}  // namespace tavolin
