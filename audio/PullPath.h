#pragma once
// The pull path: the device's callback takes samples from the block
// pipeline as it needs them, instead of from the ring's eight queued
// buffers. Either way the samples are those the ring renders for the same
// inputs at the same sample positions.
//
// A block that may be rendered in pieces (HowToRender) is rendered piece by
// piece, each just before it is handed out, so that a note takes effect at
// the next sample handed out. A block that must be complete before its first
// sample goes out is rendered while the block before it plays: its rendering
// begins in the call after the one that hands out that block's first sample,
// and is spread so that no call renders more than its share. Pieces (a
// spectral stage or the vocoder) are spread evenly up to the block's first
// sample, and a note lands in the block at the position it was played at.
// Voice slots (ring, detune or noise) are rendered as late as a quarter of
// each call allows, the last ones with the block's first sample, and a note
// lands in the block unless its slot has been rendered already, else in the
// one after. A block that must be complete but could not begin early is
// rendered whole when its first sample is asked for.

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
  // Allocates its two blocks (the one being handed out, and the one before it
  // or, while it is rendered, the one after it). `timings`, when given,
  // receives each block's render time, the sum of its parts.
  explicit PullPath(const BlockPipeline& pipeline, BlockTimings* timings = nullptr);

  // [audio thread: the device's callback] Writes the next `frames` samples
  // to `out`. Never allocates, locks or waits.
  void Fill(int16_t* out, uint32_t frames) override;

  // Any thread: how many samples have been handed out. A voice started now
  // takes this modulo 1024 as its start offset.
  uint64_t Handed() const override { return handed_.load(std::memory_order_acquire); }

 private:
  // How the block after the current one is being rendered.
  enum class Ahead { NotBegun, Pieces, Voices };

  void BeginNext();
  uint32_t AheadUnits() const;  // of the next block: samples (Pieces) or voice slots (Voices)
  void RenderAhead(uint32_t frames);
  uint32_t VoiceSlotsDueNow(uint32_t frames, uint32_t framesLeft) const;
  void RenderNextUnits(uint32_t count);
  void FinishNext();
  void TakeNextBlock();
  void EndBlock();
  uint32_t Next() const { return 1 - current_; }
  int16_t* Block(uint32_t k) { return blocks_.get() + k * kBlockSamples; }

  BlockPipeline pipeline_;
  BlockTimings* timings_;
  std::unique_ptr<int16_t[]> blocks_;  // two blocks, silent at first
  PieceVoices pieces_{};               // of the one block being rendered in pieces
  uint32_t current_ = 0;               // which of the two is being handed out
  uint32_t offset_ = kBlockSamples;    // its next sample; 1024: the next block begins
  bool currentInPieces_ = false;       // it is rendered as it is handed out
  bool mayBeginNext_ = false;          // it is complete, and a call has passed since its first sample
  Ahead ahead_ = Ahead::NotBegun;
  uint32_t aheadDone_ = 0;                  // of the next block: samples (Pieces) or voice slots (Voices) rendered
  const int16_t* nextFrame_ = nullptr;      // of the next block: its modulator frame
  uint32_t voicesAtBegin_ = 0;              // of the next block (Voices): its voices as it began
  std::chrono::nanoseconds voicesTime_{0};  // of the next block (Voices): its voices' render time so far
  double nsPerVoice_ = 0.0;                 // of the last Voices block; 0: none yet
  uint64_t blockCount_ = 0;                 // blocks finished
  std::array<std::chrono::nanoseconds, 2> renderTime_{};  // each block's, so far
  std::atomic<uint64_t> handed_{0};
};

}  // namespace tavolin
