// The sound-card backend against a real JACK server running the dummy driver.

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>
#include <thread>

#include "JackServer.h"
#include "ThreadNames.h"
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

// A second JACK client that listens to two ports and compares them frame by frame.
class StereoProbe {
 public:
  StereoProbe() {
    client_ = jack_client_open("tavolin-probe", JackNoStartServer, nullptr);
    if (client_ == nullptr) return;
    for (int c = 0; c < 2; ++c) {
      in_[c] = jack_port_register(client_, c == 0 ? "left" : "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    }
    jack_set_process_callback(client_, &Process, this);
    jack_activate(client_);
  }
  ~StereoProbe() {
    if (client_ != nullptr) jack_client_close(client_);
  }
  bool Open() const { return client_ != nullptr; }
  // Full names of the ports connected to `port`.
  std::vector<std::string> ConnectionsOf(const char* port) const {
    std::vector<std::string> names;
    const char** connected = jack_port_get_all_connections(client_, jack_port_by_name(client_, port));
    for (const char** p = connected; p != nullptr && *p != nullptr; ++p) names.emplace_back(*p);
    jack_free(connected);
    return names;
  }
  bool Listen(const std::string& left, const std::string& right) {
    return jack_connect(client_, left.c_str(), jack_port_name(in_[0])) == 0 &&
           jack_connect(client_, right.c_str(), jack_port_name(in_[1])) == 0;
  }

  std::atomic<uint64_t> sounding{0};   // frames with signal on both ports
  std::atomic<uint64_t> differing{0};  // frames where the ports differ

 private:
  static int Process(jack_nframes_t frames, void* self) {
    auto* probe = static_cast<StereoProbe*>(self);
    const auto* left = static_cast<const float*>(jack_port_get_buffer(probe->in_[0], frames));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(probe->in_[1], frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
      if (left[i] != right[i]) probe->differing.fetch_add(1, std::memory_order_relaxed);
      if (left[i] != 0.0f && right[i] != 0.0f) probe->sounding.fetch_add(1, std::memory_order_relaxed);
    }
    return 0;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* in_[2] = {nullptr, nullptr};
};

// The mono ring comes from both speakers: our two ports feed the first two
// playback ports and carry the same samples.
TEST(RtAudioJackStereo, PlaysTheMonoRingOnBothPlaybackPorts) {
  test::JackServer server("tavolin-test-" + std::to_string(getpid()) + "-stereo", 256);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";
  MessageQueue notify;
  WaveOutOpenResult open = OpenWaveOut(WaveOutKind::System, WaveFormat{}, notify);
  ASSERT_TRUE(open.device) << open.error;
  StereoProbe probe;
  ASSERT_TRUE(probe.Open());
  const std::vector<std::string> left = probe.ConnectionsOf("system:playback_1");
  const std::vector<std::string> right = probe.ConnectionsOf("system:playback_2");
  ASSERT_EQ(left.size(), 1u);
  ASSERT_EQ(right.size(), 1u);
  EXPECT_NE(left[0], right[0]);
  ASSERT_TRUE(probe.Listen(left[0], right[0]));

  test::TestBuffers buffers(8);
  test::PrepareAndWriteAll(*open.device, buffers);
  const auto giveUp = Clock::now() + 30s;
  while (probe.sounding.load() < 4 * kBlockSamples && Clock::now() < giveUp) {
    if (auto message = notify.GetFor(100ms)) open.device->Write(*reinterpret_cast<WaveHeader*>(message->lParam));
  }
  EXPECT_GE(probe.sounding.load(), 4u * kBlockSamples);
  EXPECT_EQ(probe.differing.load(), 0u);
  EXPECT_TRUE(test::SomeThreadIsNamed("AudioOut")) << "the thread that runs our callback";
  open.device->Close();
}

TEST(RtAudioJackAt48k, ADeviceThatDoesNotOpenIsAnErrorNotTheNullDevice) {
  test::JackServer server("tavolin-test-" + std::to_string(getpid()) + "-48k", 1024, 48000);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";
  MessageQueue notify;
  WaveOutOpenResult open = OpenWaveOut(WaveOutKind::Auto, WaveFormat{}, notify);
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
