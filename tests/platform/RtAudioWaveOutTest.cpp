// The sound-card backend against a real JACK server running the dummy driver.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "JackServer.h"
#include "WaveTestBuffers.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct JackCase {
  unsigned int period;
  WaveOutKind kind;
};

class RtAudioJack : public ::testing::TestWithParam<JackCase> {};

TEST_P(RtAudioJack, PlaysBuffersInOrderAtTheServersCallbackSize) {
  const JackCase c = GetParam();
  test::JackServer server("tavolin-test-" + std::to_string(getpid()) + "-" + std::to_string(c.period), c.period);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";

  MessageQueue notify;
  WaveOutOpenResult open = test::OpenOnJack([&] { return OpenWaveOut(c.kind, WaveFormat{}, notify); });
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

  // The ring as the program runs it: each buffer queued again as it comes back.
  for (uint32_t k = 0; k < 8; ++k) ASSERT_TRUE(device.Write(buffers[k]));
  for (uint32_t returned = 0; returned < 24; ++returned) {
    auto message = notify.GetFor(10s);
    ASSERT_TRUE(message);
    EXPECT_EQ(buffers.IndexOf(message->lParam), returned % 8);
    ASSERT_TRUE(device.Write(*reinterpret_cast<WaveHeader*>(message->lParam)));
  }
  device.Reset();
  EXPECT_EQ(device.PlayedSamples(), 0u);
  EXPECT_EQ(test::TakeDone(notify, buffers).size(), 8u);

  for (uint32_t k = 0; k < 8; ++k) ASSERT_TRUE(device.Write(buffers[k]));
  device.Close();
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(notify.Peek());
  for (uint32_t k = 0; k < 8; ++k) EXPECT_TRUE(device.Unprepare(buffers[k]));
}

INSTANTIATE_TEST_SUITE_P(Periods, RtAudioJack,
                         ::testing::Values(JackCase{256, WaveOutKind::System}, JackCase{1024, WaveOutKind::Auto}),
                         [](const auto& info) { return "Period" + std::to_string(info.param.period); });

TEST(RtAudioJackAt48k, ADeviceThatDoesNotOpenIsAnErrorNotTheNullDevice) {
  test::JackServer server("tavolin-test-" + std::to_string(getpid()) + "-48k", 1024, 48000);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";
  MessageQueue notify;
  WaveOutOpenResult open =
      test::Patiently([&] { return OpenWaveOut(WaveOutKind::Auto, WaveFormat{}, notify); },
                      [](const auto& opened) { return opened.error.find("sample rate") != std::string::npos; });
  EXPECT_FALSE(open.device);
  EXPECT_NE(open.error.find("sample rate"), std::string::npos) << open.error;
}

unsigned int DefaultApiDeviceCount() {
  try {
    RtAudio audio;
    return audio.getDeviceCount();
  } catch (const std::exception&) {
    return 0;
  }
}

TEST(RtAudioAuto, FallsBackToTheNullDeviceOnlyWithoutAnyDevice) {
  unsetenv("JACK_DEFAULT_SERVER");  // NOLINT(concurrency-mt-unsafe): before any device starts a thread
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
