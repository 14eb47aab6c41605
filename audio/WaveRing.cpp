#include "audio/WaveRing.h"

#include <chrono>
#include <thread>

#include "audio/OutputDevices.h"

namespace tavolin {

namespace {
constexpr auto relaxed = std::memory_order_relaxed;
constexpr uint32_t kDiscard = 1;
// A restart waits this long at most for the device to give its buffers back:
// a device that stopped moving must not freeze the window.
constexpr auto kRestartDrainLimit = std::chrono::milliseconds(2000);
constexpr auto kRestartPause = std::chrono::milliseconds(100);

bool AllMarksCleared(const WaveRing& ring) {
  for (const WaveHeader& h : ring.WaveHeaders) {
    if (h.user.load(relaxed) != 0) return false;
  }
  return true;
}

// Takes the index first, so that callers on different threads never queue
// the same header in one round.
uint32_t ClaimNextIndex(WaveRing& ring) {
  uint32_t index = ring.RingIndex.load(relaxed);
  while (!ring.RingIndex.compare_exchange_weak(index, (index + 1) % kRingBuffers, std::memory_order_acq_rel, relaxed)) {
  }
  return index;
}
}  // namespace

void SetUpHeaders(WaveRing& ring) {
  for (uint32_t k = 0; k < kRingBuffers; ++k) {
    WaveHeader& h = ring.WaveHeaders[k];
    h.data = ring.Block(k);
    h.bufferLength = kBlockBytes;
    h.bytesRecorded = 0;
    h.user.store(0, relaxed);
    h.flags.store(WHDR_BEGINLOOP | WHDR_ENDLOOP, relaxed);
    h.loops = 1;
  }
}

uint32_t WriteNextBuffer(WaveRing& ring) {
  const uint32_t index = ClaimNextIndex(ring);
  ring.device->Write(ring.WaveHeaders[index]);
  return (index + 1) % kRingBuffers;
}

void WriteAllBuffers(WaveRing& ring) {
  for (uint32_t i = 0; i < kRingBuffers; ++i) WriteNextBuffer(ring);
}

void ResetOutput(WaveRing& ring) {
  // All eight, not only those the device holds: a header that came back just
  // before, its done message still waiting for the lagging audio thread,
  // would otherwise be requeued and move RingIndex on during the pause, and
  // the restart would then start one past a header the device still holds.
  for (WaveHeader& h : ring.WaveHeaders) h.user.store(kDiscard, relaxed);
  ring.device->Reset();
}

bool TakeCompletion(WaveRing& ring, WaveHeader& header) {
  if (header.user.exchange(0, relaxed) != 0) return false;
  // Whoever queues the buffer again, and whether it is refilled first or
  // played again as it is, what it holds now is what was just heard.
  RecordPlayed(ring, header.data, header.bufferLength);
  return true;
}

void RecordPlayed(const WaveRing& ring, const int16_t* samples, uint32_t bytes) {
  if (BlockSink* recorder = ring.recorder.load(std::memory_order_acquire)) recorder->Append(samples, bytes);
}

bool RestartSoundSystem(WaveRing& ring) {
  const bool replace = ring.outputs != nullptr && ring.outputs->Failed();
  if (ring.outputs != nullptr && ring.outputs->Pulling()) {
    // No buffer is queued to take back: only a device that has stopped
    // needs doing anything, and the source keeps its place in its blocks.
    if (replace) ring.outputs->Replace(ring);
    std::this_thread::sleep_for(kRestartPause);
    return true;
  }
  ResetOutput(ring);
  const auto deadline = std::chrono::steady_clock::now() + kRestartDrainLimit;
  while (!AllMarksCleared(ring) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const bool drained = AllMarksCleared(ring);
  if (!drained) {
    // Nobody took the returns (the audio thread is stuck): clear the marks
    // ourselves so that the requeued buffers are refilled when they come back.
    for (WaveHeader& h : ring.WaveHeaders) h.user.store(0, relaxed);
  }
  if (replace) ring.outputs->Replace(ring);
  std::this_thread::sleep_for(kRestartPause);
  WriteAllBuffers(ring);
  return drained;
}

}  // namespace tavolin
