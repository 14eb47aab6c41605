// The sound-card backend against a real JACK server (the dummy driver, so no
// sound card is needed), including the server dying under a running stream.

#include <gtest/gtest.h>
#include <rtaudio/RtAudio.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "WaveTestBuffers.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

unsigned int DefaultApiDeviceCount() {
  try {
    RtAudio audio;
    return audio.getDeviceCount();
  } catch (const std::exception&) {
    return 0;
  }
}

// A private dummy JACK server for one test; the test process is its only
// client. It dies with the test process, whatever happens.
class JackServer {
 public:
  JackServer(const std::string& name, unsigned int period) {
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    const std::string periodText = std::to_string(period);
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execlp("jackd", "jackd", "-n", name.c_str(), "--no-realtime", "-d", "dummy", "-r", "44100", "-p",
             periodText.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~JackServer() { Kill(SIGKILL); }

  bool WaitUntilUp() {
    const auto giveUp = Clock::now() + 10s;
    while (pid_ > 0 && Clock::now() < giveUp) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      try {
        RtAudio jack(RtAudio::UNIX_JACK);
        if (jack.getDeviceCount() > 0) return true;
      } catch (const std::exception&) {
        return false;
      }
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  void Kill(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

struct JackCase {
  unsigned int period;
  WaveOutKind kind;
  int killSignal;
};

class RtAudioJack : public ::testing::TestWithParam<JackCase> {};

TEST_P(RtAudioJack, PlaysTheRingAndSurvivesTheServerDying) {
  const JackCase c = GetParam();
  JackServer server("tavolin-test-" + std::to_string(getpid()) + "-" + std::to_string(c.period), c.period);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";

  MessageQueue notify;
  WaveOutOpenResult open = OpenWaveOut(c.kind, WaveFormat{}, notify);
  ASSERT_TRUE(open.device) << open.error;
  WaveOut& device = *open.device;
  EXPECT_STREQ(device.BackendName(), "RtAudio");

  test::TestBuffers buffers(8);
  test::PrepareAndWriteAll(device, buffers);
  uint64_t position = 0;
  for (uint32_t k = 0; k < 8; ++k) {
    auto message = notify.GetFor(10s);
    ASSERT_TRUE(message) << "buffer " << k << " did not come back";
    ASSERT_EQ(message->id, MessageId::WaveOutDone);
    EXPECT_EQ(buffers.IndexOf(message->lParam), k);
    const uint64_t now = device.PlayedSamples();
    EXPECT_GE(now, (k + 1) * uint64_t{kBlockSamples});
    EXPECT_EQ(now % std::min(c.period, kBlockSamples), 0u) << "the position moves by whole callbacks";
    EXPECT_GE(now, position);
    position = now;
  }
  const auto waitUntil = Clock::now() + 10s;
  while (device.UnderrunSamples() == 0 && Clock::now() < waitUntil) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(device.PlayedSamples(), 8u * kBlockSamples);
  EXPECT_GT(device.UnderrunSamples(), 0u);

  // Keep the ring cycling as the program does, then take the server away.
  for (uint32_t k = 0; k < 8; ++k) ASSERT_TRUE(device.Write(buffers[k]));
  for (int returned = 0; returned < 16; ++returned) {
    auto message = notify.GetFor(10s);
    ASSERT_TRUE(message);
    ASSERT_TRUE(device.Write(*reinterpret_cast<WaveHeader*>(message->lParam)));
  }
  server.Kill(c.killSignal);
  const auto settle = Clock::now() + 1s;
  while (Clock::now() < settle) {
    if (auto message = notify.GetFor(10ms)) device.Write(*reinterpret_cast<WaveHeader*>(message->lParam));
  }
  EXPECT_FALSE(notify.GetFor(300ms)) << "the ring should stop with the server";

  const auto closing = Clock::now();
  device.Close();
  EXPECT_LT(Clock::now() - closing, 10s);
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(notify.Peek());
  for (uint32_t k = 0; k < 8; ++k) EXPECT_TRUE(device.Unprepare(buffers[k]));
}

INSTANTIATE_TEST_SUITE_P(Periods, RtAudioJack,
                         ::testing::Values(JackCase{256, WaveOutKind::System, SIGTERM},
                                           JackCase{1024, WaveOutKind::Auto, SIGKILL}),
                         [](const auto& info) { return "Period" + std::to_string(info.param.period); });

TEST(RtAudioAuto, FallsBackToTheNullDeviceOnlyWithoutAnyDevice) {
  unsetenv("JACK_DEFAULT_SERVER");
  const bool noDevice = DefaultApiDeviceCount() == 0;
  MessageQueue notify;
  WaveOutOpenResult open = OpenWaveOut(WaveOutKind::Auto, WaveFormat{}, notify);
  if (noDevice) {
    ASSERT_TRUE(open.device);
    EXPECT_STREQ(open.device->BackendName(), "null");
    WaveOutOpenResult system = OpenWaveOut(WaveOutKind::System, WaveFormat{}, notify);
    EXPECT_FALSE(system.device);
    EXPECT_FALSE(system.error.empty());
  } else if (open.device) {
    EXPECT_STREQ(open.device->BackendName(), "RtAudio");
  } else {
    EXPECT_FALSE(open.error.empty());  // a device that exists but does not open
  }
}

}  // namespace
}  // namespace tavolin
