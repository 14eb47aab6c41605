#pragma once
// The output ring: eight buffers of 1024 samples queued on the device over and
// over. A buffer that comes back is queued again at once and then refilled,
// so each block is rendered seven buffers ahead of the one being heard.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/WaveFormat.h"
#include "platform/WaveOut.h"

namespace tavolin {

inline constexpr uint32_t kRingBuffers = 8;
inline constexpr uint32_t kRingSamples = kRingBuffers * kBlockSamples;

// Receives each block the device has played, as the audio thread takes its
// buffer back (the recorder).
class BlockSink {
 public:
  virtual ~BlockSink() = default;
  virtual void Append(const int16_t* samples, uint32_t bytes) = 0;
};

class OutputDevices;

// The device the ring plays on. The audio, sequencer and window threads read
// it; only the window thread points it elsewhere (start-up, a restart that
// replaces a failed device, shut-down). A device it no longer points at stays
// allocated until shut-down, so a pointer read a moment before stays valid.
class RingDevice {
 public:
  RingDevice& operator=(WaveOut* device) {
    device_.store(device, std::memory_order_release);
    return *this;
  }
  WaveOut* get() const { return device_.load(std::memory_order_acquire); }
  WaveOut* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }
  bool operator==(std::nullptr_t) const { return get() == nullptr; }

 private:
  std::atomic<WaveOut*> device_{nullptr};
};

struct WaveRing {
  std::unique_ptr<int16_t[]> WaveData;  // kRingSamples samples; block k at k * 1024
  std::array<WaveHeader, kRingBuffers> WaveHeaders;
  std::atomic<uint32_t> RingIndex{0};  // the header the next write queues
  RingDevice device;
  // Where a restart finds a replacement for a device that has failed; none
  // when the ring's owner does not replace devices (tests).
  OutputDevices* outputs = nullptr;
  std::atomic<BlockSink*> recorder{nullptr};

  int16_t* Block(uint32_t k) { return WaveData.get() + k * kBlockSamples; }
};

// Points header k at block k, with the ring's field values; the data must be allocated.
void SetUpHeaders(WaveRing& ring);

// [audio thread; also window and sequencer threads] Queues header RingIndex
// (refused by the device if it is still queued), advances RingIndex; returns
// the new RingIndex. Safe from several threads: each caller gets its own index.
uint32_t WriteNextBuffer(WaveRing& ring);

// Eight WriteNextBuffer calls, in ring order from RingIndex, which ends unchanged.
void WriteAllBuffers(WaveRing& ring);

// Marks all eight headers for discarding and resets the device, which gives
// back those it holds. A header that is not queued carries its mark until its
// pending done message, or the completion of the write in flight, clears it.
void ResetOutput(WaveRing& ring);

// [audio thread] Completion of a returned header: true when the block
// is to be refilled, false when the header carried a discard mark (now cleared).
// A block that came back played, not discarded, is appended to a running
// recording: the file holds what was heard, each block once per play.
bool TakeCompletion(WaveRing& ring, WaveHeader& header);

// [audio thread] Appends a block that has just been played to a running
// recording, if one runs; whichever path handed it to the device.
void RecordPlayed(const WaveRing& ring, const int16_t* samples, uint32_t bytes);

// Window thread: reset, wait until every marked header is back (bounded),
// replace the device when it has failed, pause 100 ms, queue all eight again
// in ring order from RingIndex. Returns false when the wait ran out. On the
// pull path only the replacement and the pause.
bool RestartSoundSystem(WaveRing& ring);

}  // namespace tavolin
