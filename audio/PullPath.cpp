#include "audio/PullPath.h"

#include <algorithm>

namespace tavolin {

PullPath::PullPath(const BlockPipeline& pipeline, BlockTimings* timings)
    : pipeline_(pipeline), timings_(timings), blocks_(std::make_unique<int16_t[]>(2 * kBlockSamples)) {}

void PullPath::Fill(int16_t* out, uint32_t frames) {
  while (frames > 0) {
    if (offset_ == kBlockSamples) BeginBlock();
    const uint32_t n = std::min(frames, kBlockSamples - offset_);
    int16_t* block = Block(current_);
    if (!whole_) {
      const RenderTimer timed(renderTime_);
      RenderBlockPiece(pipeline_, block, Block(1 - current_), {offset_, offset_ + n}, pieces_);
    }
    std::copy_n(block + offset_, n, out);
    out += n;
    frames -= n;
    offset_ += n;
    handed_.fetch_add(n, std::memory_order_release);
    if (offset_ == kBlockSamples) EndBlock();
  }
}

void PullPath::BeginBlock() {
  current_ = 1 - current_;
  offset_ = 0;
  renderTime_ = std::chrono::nanoseconds(0);
  const RenderTimer timed(renderTime_);
  // The modulator's frame is taken as the block begins: a start asked for
  // later waits for the next block, which will then be rendered whole.
  const int16_t* frame = pipeline_.modulator.FrameForThisBlock();
  whole_ = NeedsWholeBlock(pipeline_, frame);
  if (whole_) RenderWholeBlock(pipeline_, Block(current_), Block(1 - current_), frame);
}

void PullPath::EndBlock() {
  int16_t* block = Block(current_);
  {
    const RenderTimer timed(renderTime_);
    if (!whole_) EndPieces(pipeline_, block, pieces_);
  }
  if (timings_ != nullptr) timings_->Record(renderTime_);
  // Every sample of the block has been handed out: it is what plays.
  RecordPlayed(pipeline_.ring, block, kBlockBytes);
  PublishBlock(pipeline_, block, static_cast<uint32_t>(blockCount_ % kRingBuffers));
  ++blockCount_;
}

}  // namespace tavolin
