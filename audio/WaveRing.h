#pragma once
// The output ring: eight buffers of 1024 samples queued on the device over and
// over. A buffer that comes back is queued again at once and then refilled,
// so each block is rendered seven buffers ahead of the one being heard.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/WaveFormat.h"
#include "platform/WaveOut.h"

namespace tavolin {

inline constexpr uint32_t kRingBuffers = 8;
inline constexpr uint32_t kRingSamples = kRingBuffers * kBlockSamples;

// Receives every block at the moment the ring queues it (the recorder).
// Appends may come from the audio, window and sequencer threads.
class BlockSink {
 public:
  virtual ~BlockSink() = default;
  virtual void Append(const int16_t* samples, uint32_t bytes) = 0;
};

struct WaveRing {
  std::unique_ptr<int16_t[]> WaveData;  // kRingSamples samples; block k at k * 1024
  std::array<WaveHeader, kRingBuffers> WaveHeaders;
  std::atomic<uint32_t> RingIndex{0};  // the header the next write queues
  WaveOut* device = nullptr;
  std::atomic<BlockSink*> recorder{nullptr};

  int16_t* Block(uint32_t k) { return WaveData.get() + k * kBlockSamples; }
};

// Points header k at block k, with the ring's field values; the data must be allocated.
void SetUpHeaders(WaveRing& ring);

// [audio thread; also window and sequencer threads] Queues header RingIndex
// (refused by the device if it is still queued), appends its block to a
// running recording, advances RingIndex; returns the new RingIndex. Safe from
// several threads: each caller gets its own index.
uint32_t WriteNextBuffer(WaveRing& ring);

// Eight WriteNextBuffer calls, in ring order from RingIndex, which ends unchanged.
void WriteAllBuffers(WaveRing& ring);

// Marks every queued header for discarding and resets the device, which
// gives them all back.
void ResetOutput(WaveRing& ring);

// [audio thread] Completion of a returned header: true when the block
// is to be refilled, false when the header carried a discard mark (now cleared).
bool TakeCompletion(WaveHeader& header);

// Window thread: reset, wait until every marked header is back (bounded),
// pause 100 ms, queue all eight again. Returns false when the wait ran out.
bool RestartSoundSystem(WaveRing& ring);

}  // namespace tavolin
