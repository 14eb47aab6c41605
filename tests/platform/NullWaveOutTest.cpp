// The null device returns buffers at the real-time pace of a sound card.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ThreadNames.h"
#include "WaveTestBuffers.h"
#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;

TEST(NullWaveOut, ReturnsBuffersAtPlayingPaceUntilClosed) {
  MessageQueue notify;
  WaveOutOpenResult open = OpenWaveOut(WaveOutKind::Null, WaveFormat{}, notify);
  ASSERT_TRUE(open.device) << open.error;
  WaveOut& device = *open.device;
  EXPECT_STREQ(device.BackendName(), "null");

  test::TestBuffers buffers(8);
  const auto start = std::chrono::steady_clock::now();
  test::PrepareAndWriteAll(device, buffers);
  for (uint32_t k = 0; k < 8; ++k) {
    auto message = notify.GetFor(10s);
    ASSERT_TRUE(message) << "buffer " << k << " did not come back";
    EXPECT_EQ(message->id, MessageId::WaveOutDone);
    EXPECT_EQ(buffers.IndexOf(message->lParam), k);
    // At least this buffer and those before it have played (a test thread
    // that runs late may find more played).
    EXPECT_GE(device.PlayedSamples(), (k + 1) * uint64_t{kBlockSamples});
  }
  // Eight buffers last 186 ms; the device must not hand them back faster.
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  EXPECT_TRUE(test::SomeThreadIsNamed("NullAudioOut"));

  // With the queue empty the device keeps time with silence.
  EXPECT_TRUE(test::WaitUntil([&] { return device.UnderrunSamples() > 0; }));

  ASSERT_TRUE(device.Write(buffers[0]));
  device.Close();
  const uint64_t underrunAtClose = device.UnderrunSamples();
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(notify.Peek());
  EXPECT_EQ(device.UnderrunSamples(), underrunAtClose);
  EXPECT_EQ(buffers[0].flags.load() & WHDR_INQUEUE, 0u);
}

}  // namespace
}  // namespace tavolin
