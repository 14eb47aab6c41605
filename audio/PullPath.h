#pragma once
// The pull path: the device's callback takes samples from the block
// pipeline as it needs them, instead of from the ring's eight queued
// buffers. A block is rendered in pieces, each as the device asks for it, so
// that a note takes effect at the next sample handed out; a block that must
// be rendered whole (NeedsWholeBlock) is rendered when its first sample is
// asked for and handed out piece by piece. Either way the samples are those
// the ring renders for the same inputs at the same sample positions.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "audio/BlockTimings.h"
#include "audio/RenderBlock.h"
#include "platform/WaveOut.h"

namespace tavolin {

class PullPath final : public SampleSource {
 public:
  // Allocates its two blocks (the one being handed out and the one before,
  // which howling feeds back). `timings`, when given, receives each block's
  // render time, the sum of its pieces.
  explicit PullPath(const BlockPipeline& pipeline, BlockTimings* timings = nullptr);

  // [audio thread: the device's callback] Writes the next `frames` samples
  // to `out`. Never allocates, locks or waits.
  void Fill(int16_t* out, uint32_t frames) override;

  // Any thread: how many samples have been handed out. A voice started now
  // takes this modulo 1024 as its start offset.
  uint64_t Handed() const override { return handed_.load(std::memory_order_acquire); }

 private:
  void BeginBlock();
  void EndBlock();
  int16_t* Block(uint32_t k) { return blocks_.get() + k * kBlockSamples; }

  BlockPipeline pipeline_;
  BlockTimings* timings_;
  std::unique_ptr<int16_t[]> blocks_;  // two blocks, silent at first
  PieceVoices pieces_{};
  uint32_t current_ = 0;                    // which of the two is being handed out
  uint32_t offset_ = kBlockSamples;         // its next sample; 1024: the next block begins
  bool whole_ = false;                      // it was rendered whole
  uint64_t blockCount_ = 0;                 // blocks finished
  std::chrono::nanoseconds renderTime_{0};  // the current block's, so far
  std::atomic<uint64_t> handed_{0};
};

}  // namespace tavolin
