// The program's remedy for a sound server that went away, against a private
// JACK server: the stop is reported once, and once the server is back, the
// restart (the Delete key) opens the device again and the ring plays on.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "host/Lifecycle.h"
#include "host/SoundReports.h"
#include "tests/WaitUntil.h"
#include "tests/platform/JackDeathTest.h"

namespace tavolin {
namespace {

using test::WaitUntil;

using namespace std::chrono_literals;

class NoticeCounter final : public WindowPort {
 public:
  void RequestRepaint() override {}
  void ShowError(std::string_view, std::string_view) override { errors.fetch_add(1); }
  void ShowNotice(std::string_view text, std::string_view) override {
    if (text.find("press Delete") != std::string_view::npos) notices.fetch_add(1);
  }
  std::atomic<int> errors{0};
  std::atomic<int> notices{0};
};

// The user's side, with the program running on the server: returns what
// went wrong, or nothing.
std::string StopReportRestart(App& app, NoticeCounter& window, std::optional<test::JackServer>& server, bool abrupt) {
  auto playedBlocks = [&] { return app.ring.device->PlayedSamples() / kBlockSamples; };
  if (!WaitUntil([&] { return playedBlocks() >= 16; })) return "the ring did not run";

  if (abrupt) {
    server->Kill();
  } else {
    server->Stop();
  }
  // The window's timer, until the user has been told.
  if (!WaitUntil([&] {
        WatchSoundOutput(app);
        return window.notices.load() > 0;
      })) {
    return "the stop was not reported";
  }
  server.emplace(test::JackServerName(), 256);
  if (!server->WaitUntilUp()) return "jackd did not start again";
  WatchSoundOutput(app);
  if (window.notices.load() != 1) return "the stop was reported more than once";

  const WaveOut* failed = app.ring.device.get();
  RestartSoundSystem(app.ring);  // the Delete key
  if (app.ring.device.get() == failed) return "the device was not opened again";
  const uint32_t index = app.ring.RingIndex.load();
  if (!WaitUntil([&] { return playedBlocks() >= 16 && app.ring.RingIndex.load() != index; })) {
    return "no sound after the restart";
  }
  WatchSoundOutput(app);
  if (window.notices.load() != 1 || window.errors.load() != 0) return "a message too many";
  return {};
}

// Runs in the death test's own process; returns what went wrong, or nothing.
std::string RestartAfterTheServerCameBack(bool abrupt) {
  std::optional<test::JackServer> server(std::in_place, test::JackServerName(), 256);
  if (!server->WaitUntilUp()) return test::kNoServerText;
  NoticeCounter window;
  SteadyClock clock;
  auto app = std::make_unique<App>(window, clock);
  StartUpOptions options;
  // The program's own open of the system device, patient with a busy server.
  options.openDevice = [](const WaveFormat& format, MessageQueue& queue) {
    return test::OpenOnJack([&] { return OpenWaveOut(WaveOutKind::System, format, queue); });
  };
  if (StartUp(*app, options) != StartUpResult::Running) return "start-up failed";
  std::string failure = StopReportRestart(*app, window, server, abrupt);
  if (ShutDown(*app) != ShutDownResult::Clean) return "shut-down did not end the threads";
  if (failure.empty()) std::fprintf(stderr, "playing again after the restart\n");
  return failure;
}

using SoundRestartJack = test::JackDeathTest;

TEST_F(SoundRestartJack, ServerStoppedAndStartedAgain) {
  RunInChild([] { return RestartAfterTheServerCameBack(false); }, "playing again after the restart");
}

TEST_F(SoundRestartJack, ServerKilledAndStartedAgain) {
  RunInChild([] { return RestartAfterTheServerCameBack(true); }, "playing again after the restart");
}

}  // namespace
}  // namespace tavolin
