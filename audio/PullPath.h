#pragma once
// The pull path: the device's callback (or a plugin host's call) takes
// samples from the block pipeline as it needs them, instead of from the
// ring's eight queued buffers. Either way the samples are those the ring
// renders for the same inputs at the same sample positions.
//
// What is rendered when depends only on the position in the block, never on
// how the samples are asked for or on measured time, so the same inputs at
// the same positions give the same samples however the calls cut the stream.
//
// A block that may be rendered in pieces (HowToRender) is rendered piece by
// piece, each just before it is handed out, so that a note takes effect at
// the next sample handed out. A block that must be complete before its first
// sample goes out is rendered ahead, while the block before it plays: how the
// next block must be rendered is asked as each complete block begins.
// - Pieces (a spectral stage or the vocoder): by the time sample o of the
//   current block is handed out, the next block's samples before o are
//   rendered, so a note played at o lands in the next block at o.
// - Voice slots (ring, detune or noise): the voices sounding as the next
//   block begins are rendered evenly over the current block, the first
//   n x o / 1024 of the n by sample o, with the empty slots between them; a
//   note lands in the next block unless its slot has been passed already,
//   else in the one after. The rest are rendered as the current block ends.
// Both are finished as the current block's last sample is handed out, before
// anything played at the next block's first sample. A block that must be
// complete but could not begin ahead (the first, one after a block rendered
// in pieces, or one switched to meanwhile) is rendered whole when its first
// sample is asked for. With rendering ahead switched off, every such block is.

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

  // [audio thread] Whether blocks that must be complete may be rendered
  // ahead (the default); off, they are rendered whole at their first sample.
  // A block already begun ahead is finished so.
  void RenderAhead(bool allowed) { aheadAllowed_ = allowed; }

  // [audio thread] Starts afresh at sample `offset` of a block, as if every
  // block before had been silent: the block is rendered from there as any
  // other, or, `silent`, it is silence (a delayed output's first block).
  // The pipeline's voices and state are the caller's to clear first.
  void Restart(uint32_t offset, bool silent);

 private:
  // How the block after the current one is being rendered.
  enum class Ahead { NotBegun, Pieces, Voices };

  void BeginNext();
  void RenderAheadTo(uint32_t offset);
  void RenderNextUnits(uint32_t to);
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
  bool aheadAllowed_ = true;
  Ahead ahead_ = Ahead::NotBegun;
  bool nextReady_ = false;                       // the next block is complete
  uint32_t aheadDone_ = 0;                       // of the next block: samples (Pieces) or voice slots (Voices) rendered
  const int16_t* nextFrame_ = nullptr;           // of the next block: its modulator frame
  std::array<uint8_t, kVoiceCount> sounding_{};  // of the next block (Voices): the slots sounding as it began
  uint32_t soundingCount_ = 0;                   // how many
  std::array<std::chrono::nanoseconds, 2> renderTime_{};  // each block's, so far
  uint64_t blockCount_ = 0;                               // blocks finished
  std::atomic<uint64_t> handed_{0};
};

}  // namespace tavolin
