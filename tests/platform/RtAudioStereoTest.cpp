// The mono ring comes from both speakers of a stereo device, checked by a
// second JACK client that listens to our ports. Normal build only: the probe
// reads buffers that the server process hands over, a hand-over that
// ThreadSanitizer cannot follow.

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "JackServer.h"
#include "ThreadNames.h"
#include "WaveTestBuffers.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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

  std::atomic<uint64_t> matching{0};  // frames with the same signal on both ports

 private:
  static int Process(jack_nframes_t frames, void* self) {
    auto* probe = static_cast<StereoProbe*>(self);
    const auto* left = static_cast<const float*>(jack_port_get_buffer(probe->in_[0], frames));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(probe->in_[1], frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
      if (left[i] != 0.0f && left[i] == right[i]) probe->matching.fetch_add(1, std::memory_order_relaxed);
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
  WaveOutOpenResult open = test::OpenOnJack([&] { return OpenWaveOut(WaveOutKind::System, WaveFormat{}, notify); });
  ASSERT_TRUE(open.device) << open.error;
  auto probePtr =
      test::Patiently([] { return std::make_unique<StereoProbe>(); }, [](const auto& p) { return p->Open(); });
  ASSERT_TRUE(probePtr->Open());
  StereoProbe& probe = *probePtr;
  const std::vector<std::string> left = probe.ConnectionsOf("system:playback_1");
  const std::vector<std::string> right = probe.ConnectionsOf("system:playback_2");
  ASSERT_EQ(left.size(), 1u);
  ASSERT_EQ(right.size(), 1u);
  EXPECT_NE(left[0], right[0]);
  ASSERT_TRUE(probe.Listen(left[0], right[0]));

  test::TestBuffers buffers(8);
  test::PrepareAndWriteAll(*open.device, buffers);
  const auto giveUp = Clock::now() + 30s;
  while (probe.matching.load() < 4 * kBlockSamples && Clock::now() < giveUp) {
    if (auto message = notify.GetFor(100ms)) open.device->Write(*reinterpret_cast<WaveHeader*>(message->lParam));
  }
  // Every sample of the pattern is distinct, so only the same samples on both
  // ports at the same time match (a busy server may drop a period now and then).
  EXPECT_GE(probe.matching.load(), 4u * kBlockSamples);
  EXPECT_TRUE(test::SomeThreadIsNamed("AudioOut")) << "the thread that runs our callback";
  open.device->Close();
}

}  // namespace
}  // namespace tavolin
