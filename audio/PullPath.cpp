#include "audio/PullPath.h"

#include <algorithm>

namespace tavolin {

PullPath::PullPath(const BlockPipeline& pipeline, BlockTimings* timings)
    : pipeline_(pipeline), timings_(timings), blocks_(std::make_unique<int16_t[]>(2 * kBlockSamples)) {}

void PullPath::Fill(int16_t* out, uint32_t frames) {
  bool callStart = true;
  bool handedFirstSample = false;
  while (frames > 0) {
    if (offset_ == kBlockSamples) {
      // A block begun in an earlier call and taken as this call starts had
      // all its voices rendered before it: the one after it may begin now.
      const bool renderedBefore = callStart && ahead_ != Ahead::NotBegun;
      TakeNextBlock();
      handedFirstSample = true;
      mayBeginNext_ = renderedBefore;
    }
    if (mayBeginNext_ && ahead_ == Ahead::NotBegun) BeginNext();
    callStart = false;
    const uint32_t n = std::min(frames, kBlockSamples - offset_);
    int16_t* block = Block(current_);
    if (currentInPieces_) {
      const RenderTimer timed(renderTime_[current_]);
      RenderBlockPiece(pipeline_, block, Block(Next()), {offset_, offset_ + n}, pieces_);
    } else if (ahead_ != Ahead::NotBegun) {
      RenderAhead(n);
    }
    std::copy_n(block + offset_, n, out);
    out += n;
    frames -= n;
    offset_ += n;
    handed_.fetch_add(n, std::memory_order_release);
    if (offset_ == kBlockSamples) EndBlock();
  }
  if (handedFirstSample) mayBeginNext_ = !currentInPieces_;
}

void PullPath::BeginNext() {
  // The modulator's frame is taken as the block begins: a start asked for
  // later waits for the next block.
  const int16_t* frame = pipeline_.modulator.FrameForThisBlock();
  const BlockRendering how = HowToRender(pipeline_, frame);
  if (how == BlockRendering::Pieces) return;  // asked again at the next call
  renderTime_[Next()] = std::chrono::nanoseconds(0);
  const RenderTimer timed(renderTime_[Next()]);
  nextFrame_ = frame;
  aheadDone_ = 0;
  ahead_ = how == BlockRendering::WholeVoices ? Ahead::Voices : Ahead::Pieces;
  if (ahead_ == Ahead::Voices) BeginWholeVoices(pipeline_, Block(Next()), Block(current_));
}

// The next block's share of a call that hands out `frames` of the current
// one: what is left, spread evenly over the current block's samples still to
// go. Pieces so spread never pass the sample being handed out, so a note
// played meanwhile starts in the next block exactly where it was played.
void PullPath::RenderAhead(uint32_t frames) {
  const uint32_t units = ahead_ == Ahead::Pieces ? kBlockSamples : static_cast<uint32_t>(kVoiceCount);
  const uint32_t left = units - aheadDone_;
  const uint32_t framesLeft = kBlockSamples - offset_;
  RenderNextUnits((left * frames + framesLeft - 1) / framesLeft);
}

void PullPath::RenderNextUnits(uint32_t count) {
  if (count == 0) return;
  const RenderTimer timed(renderTime_[Next()]);
  const uint32_t from = aheadDone_;
  aheadDone_ += count;
  if (ahead_ == Ahead::Pieces)
    RenderBlockPiece(pipeline_, Block(Next()), Block(current_), {from, aheadDone_}, pieces_);
  else
    RenderWholeVoices(pipeline_, Block(Next()), from, aheadDone_);
}

void PullPath::FinishNext() {
  const uint32_t units = ahead_ == Ahead::Pieces ? kBlockSamples : static_cast<uint32_t>(kVoiceCount);
  RenderNextUnits(units - aheadDone_);
  const RenderTimer timed(renderTime_[Next()]);
  if (ahead_ == Ahead::Pieces)
    EndPieces(pipeline_, Block(Next()), pieces_, PiecesWere::RenderedAhead, nextFrame_);
  else
    EndWholeVoices(pipeline_, Block(Next()), nextFrame_);
  ahead_ = Ahead::NotBegun;
}

void PullPath::TakeNextBlock() {
  if (ahead_ == Ahead::NotBegun) BeginNext();
  currentInPieces_ = ahead_ == Ahead::NotBegun;
  if (currentInPieces_)
    renderTime_[Next()] = std::chrono::nanoseconds(0);
  else
    FinishNext();
  current_ = Next();
  offset_ = 0;
  mayBeginNext_ = false;
}

void PullPath::EndBlock() {
  int16_t* block = Block(current_);
  if (currentInPieces_) {
    const RenderTimer timed(renderTime_[current_]);
    EndPieces(pipeline_, block, pieces_, PiecesWere::HandedOut);
  }
  if (timings_ != nullptr) timings_->Record(renderTime_[current_]);
  // Every sample of the block has been handed out: it is what plays.
  RecordPlayed(pipeline_.ring, block, kBlockBytes);
  PublishBlock(pipeline_, block, static_cast<uint32_t>(blockCount_ % kRingBuffers));
  ++blockCount_;
}

}  // namespace tavolin
