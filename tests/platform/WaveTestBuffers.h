#pragma once
// Headers with a known sample pattern for the wave-output tests, and helpers
// that read the done messages back.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/WaveOut.h"

namespace tavolin::test {

// Sample i of buffer k: unique across buffers, never 0 (silence stands out).
inline int16_t Pattern(uint32_t k, uint32_t i) { return static_cast<int16_t>(k * kBlockSamples + i + 1); }

struct TestBuffers {
  explicit TestBuffers(uint32_t count) : size(count), samples(count * kBlockSamples), headers(new WaveHeader[count]) {
    for (uint32_t k = 0; k < count; ++k) {
      for (uint32_t i = 0; i < kBlockSamples; ++i) samples[k * kBlockSamples + i] = Pattern(k, i);
      headers[k].data = samples.data() + k * kBlockSamples;
      headers[k].bufferLength = kBlockBytes;
      headers[k].flags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    }
  }
  WaveHeader& operator[](uint32_t k) { return headers[k]; }
  uint32_t IndexOf(uintptr_t header) const {
    return static_cast<uint32_t>(reinterpret_cast<WaveHeader*>(header) - headers.get());
  }

  uint32_t size;
  std::vector<int16_t> samples;
  std::unique_ptr<WaveHeader[]> headers;
};

inline void PrepareAndWriteAll(WaveOut& device, TestBuffers& buffers) {
  for (uint32_t k = 0; k < buffers.size; ++k) {
    ASSERT_TRUE(device.Prepare(buffers[k]));
    ASSERT_TRUE(device.Write(buffers[k]));
  }
}

// Takes every message waiting now; each must be a done message. Returns the buffer indices.
inline std::vector<uint32_t> TakeDone(MessageQueue& queue, const TestBuffers& buffers) {
  std::vector<uint32_t> done;
  while (auto message = queue.Peek()) {
    EXPECT_EQ(message->id, MessageId::WaveOutDone);
    EXPECT_EQ(message->wParam, 0u);
    done.push_back(buffers.IndexOf(message->lParam));
  }
  return done;
}

}  // namespace tavolin::test
