// A JACK server that dies under a running stream must not take the program
// with it: the ring stops moving and the device still closes.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "JackDeathTest.h"
#include "WaveTestBuffers.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs in the death test's own process; returns what went wrong, or nothing.
std::string PlayUntilTheServerDies(bool abrupt) {
  test::JackServer server(test::JackServerName(), 256);
  if (!server.WaitUntilUp()) return test::kNoServerText;
  MessageQueue notify;
  WaveOutOpenResult open = test::OpenOnJack([&] { return OpenWaveOut(WaveOutKind::System, WaveFormat{}, notify); });
  if (!open.device) return "open failed: " + open.error;
  WaveOut& device = *open.device;
  test::TestBuffers buffers(8);
  for (uint32_t k = 0; k < 8; ++k) {
    if (!device.Prepare(buffers[k]) || !device.Write(buffers[k])) return "could not queue";
  }
  for (int returned = 0; returned < 16; ++returned) {
    auto message = notify.GetFor(10s);
    if (!message) return "the ring did not run";
    device.Write(*reinterpret_cast<WaveHeader*>(message->lParam));
  }

  if (abrupt) {
    server.Kill();
  } else {
    server.Stop();
  }
  // Without a server the ring comes to rest: a quiet second, within thirty
  // (the last callbacks may come late on a busy machine).
  const auto giveUp = Clock::now() + 30s;
  for (auto quietSince = Clock::now(); Clock::now() - quietSince < 1s;) {
    if (Clock::now() > giveUp) return "the ring kept moving without a server";
    if (auto message = notify.GetFor(10ms)) {
      device.Write(*reinterpret_cast<WaveHeader*>(message->lParam));
      quietSince = Clock::now();
    }
  }
  const uint64_t position = device.PlayedSamples();

  device.Reset();  // what the user's restart does: everything comes back
  if (test::TakeDone(notify, buffers).size() != 8) return "reset did not give every buffer back";
  const auto closing = Clock::now();
  device.Close();
  if (Clock::now() - closing > 10s) return "close took too long";
  std::this_thread::sleep_for(50ms);
  if (notify.Peek()) return "a message came after close";
  std::fprintf(stderr, "ring stopped at %llu samples\n", static_cast<unsigned long long>(position));
  return {};
}

using JackServerDeath = test::JackDeathTest;

TEST_F(JackServerDeath, ServerStoppedUnderARunningStream) {
  RunInChild([] { return PlayUntilTheServerDies(false); }, "ring stopped at");
}

TEST_F(JackServerDeath, ServerKilledUnderARunningStream) {
  RunInChild([] { return PlayUntilTheServerDies(true); }, "ring stopped at");
}

}  // namespace
}  // namespace tavolin
