// A JACK server that dies under a running stream must not take the program
// with it: the ring stops moving and the device still closes. Each case runs
// in a process of its own (a gtest death test), because a crash is the
// failure looked for and because libjack does not recover its own state for
// a second server in one process.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "JackServer.h"
#include "WaveTestBuffers.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The death test's process is a new run of this program; it is told the server name.
constexpr const char* kServerNameVariable = "TAVOLIN_TEST_JACK_SERVER";
constexpr int kNoServer = 77;
constexpr const char* kNoServerText = "jackd could not be started";

// Runs in the death test's own process; returns what went wrong, or nothing.
std::string PlayUntilTheServerDies(bool abrupt) {
  test::JackServer server(std::getenv(kServerNameVariable), 256);
  if (!server.WaitUntilUp()) return kNoServerText;
  MessageQueue notify;
  WaveOutOpenResult open = OpenWaveOut(WaveOutKind::System, WaveFormat{}, notify);
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
  const auto settle = Clock::now() + 1s;
  while (Clock::now() < settle) {
    if (auto message = notify.GetFor(10ms)) device.Write(*reinterpret_cast<WaveHeader*>(message->lParam));
  }
  if (notify.GetFor(300ms)) return "the ring kept moving without a server";
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

void RunCase(bool abrupt) {
  const std::string failure = PlayUntilTheServerDies(abrupt);
  if (!failure.empty()) std::fprintf(stderr, "%s\n", failure.c_str());
  std::exit(failure.empty() ? 0 : failure == kNoServerText ? kNoServer : 1);
}

int lastExitCode = -1;

// A clean exit, with or without a server to play to; anything else (a crash,
// a failure code) fails the test.
bool ExitedCleanly(int status) {
  lastExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return lastExitCode == 0 || lastExitCode == kNoServer;
}

class JackServerDeath : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (std::system("command -v jackd > /dev/null") != 0) GTEST_SKIP() << "jackd is not installed";
    if (std::getenv(kServerNameVariable) == nullptr) {
      setenv(kServerNameVariable, ("tavolin-test-" + std::to_string(getpid())).c_str(), 1);
    }
  }
  // The server died with a client attached: an idle server of the same name
  // frees the registry slot that it may have kept.
  void TearDown() override {
    if (IsSkipped()) return;
    test::JackServer idle(std::getenv(kServerNameVariable), 256);
    idle.WaitUntilUp();
  }
};

TEST_F(JackServerDeath, ServerStoppedUnderARunningStream) {
  EXPECT_EXIT(RunCase(false), ExitedCleanly, "ring stopped at|jackd could not be started");
  if (lastExitCode == kNoServer) GTEST_SKIP() << kNoServerText;
}

TEST_F(JackServerDeath, ServerKilledUnderARunningStream) {
  EXPECT_EXIT(RunCase(true), ExitedCleanly, "ring stopped at|jackd could not be started");
  if (lastExitCode == kNoServer) GTEST_SKIP() << kNoServerText;
}

}  // namespace
}  // namespace tavolin
