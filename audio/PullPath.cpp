#include "audio/PullPath.h"

#include <algorithm>

#include "platform/WaveFormat.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

PullPath::PullPath(const BlockPipeline& pipeline, BlockTimings* timings)
    : pipeline_(pipeline), timings_(timings), blocks_(std::make_unique<int16_t[]>(2 * kBlockSamples)) {}

void PullPath::Fill(int16_t* out, uint32_t frames) {
  while (frames > 0) {
    if (offset_ == kBlockSamples) TakeNextBlock();
    const uint32_t n = std::min(frames, kBlockSamples - offset_);
    int16_t* block = Block(current_);
    if (currentInPieces_) {
      const RenderTimer timed(renderTime_[current_]);
      RenderBlockPiece(pipeline_, block, Block(Next()), {offset_, offset_ + n}, pieces_);
    }
    std::copy_n(block + offset_, n, out);
    out += n;
    frames -= n;
    offset_ += n;
    if (ahead_ != Ahead::NotBegun) RenderAheadTo(offset_);
    handed_.fetch_add(n, std::memory_order_release);
    if (offset_ == kBlockSamples) EndBlock();
  }
}

void PullPath::Restart(uint32_t offset, bool silent) {
  std::fill_n(blocks_.get(), 2 * kBlockSamples, int16_t{0});
  pieces_ = {};
  ahead_ = Ahead::NotBegun;
  nextReady_ = false;
  current_ = 0;
  offset_ = offset;
  renderTime_ = {};
  currentInPieces_ =
      !silent && HowToRender(pipeline_, pipeline_.modulator.FrameForThisBlock()) == BlockRendering::Pieces;
  if (!currentInPieces_) BeginNext();
}

// The next block, when it must be complete before it plays: its rendering
// begins now, caught up to the current block's sample (a restart begins
// mid-block). When it may have pieces it is asked again as it begins.
void PullPath::BeginNext() {
  if (!aheadAllowed_) return;
  // The modulator's frame is taken as the block begins: a start asked for
  // later waits for the next block.
  const int16_t* frame = pipeline_.modulator.FrameForThisBlock();
  const BlockRendering how = HowToRender(pipeline_, frame);
  if (how == BlockRendering::Pieces) return;
  renderTime_[Next()] = std::chrono::nanoseconds(0);
  nextFrame_ = frame;
  aheadDone_ = 0;
  ahead_ = how == BlockRendering::WholeVoices ? Ahead::Voices : Ahead::Pieces;
  if (ahead_ == Ahead::Voices) {
    const RenderTimer timed(renderTime_[Next()]);
    BeginWholeVoices(pipeline_, Block(Next()), Block(current_));
    soundingCount_ = 0;
    for (uint32_t slot = 0; slot < static_cast<uint32_t>(kVoiceCount); ++slot)
      if (IsActive(pipeline_.synth.voices[slot])) sounding_[soundingCount_++] = static_cast<uint8_t>(slot);
  }
  RenderAheadTo(offset_);
}

// The next block's share up to the current block's sample `offset`: as many
// samples (Pieces), so they never pass the sample being handed out; or the
// slots up to the n x offset / 1024-th of the n voices sounding as it began.
void PullPath::RenderAheadTo(uint32_t offset) {
  if (ahead_ == Ahead::Pieces) {
    RenderNextUnits(offset);
    return;
  }
  const uint32_t due = soundingCount_ * offset / kBlockSamples;
  if (due > 0) RenderNextUnits(uint32_t{sounding_[due - 1]} + 1);
}

void PullPath::RenderNextUnits(uint32_t to) {
  if (to <= aheadDone_) return;
  const RenderTimer timed(renderTime_[Next()]);
  if (ahead_ == Ahead::Pieces)
    RenderBlockPiece(pipeline_, Block(Next()), Block(current_), {aheadDone_, to}, pieces_);
  else
    RenderWholeVoices(pipeline_, Block(Next()), aheadDone_, to);
  aheadDone_ = to;
}

void PullPath::FinishNext() {
  RenderNextUnits(ahead_ == Ahead::Pieces ? kBlockSamples : static_cast<uint32_t>(kVoiceCount));
  const RenderTimer timed(renderTime_[Next()]);
  if (ahead_ == Ahead::Pieces)
    EndPieces(pipeline_, Block(Next()), pieces_, PiecesWere::RenderedAhead, nextFrame_);
  else
    EndWholeVoices(pipeline_, Block(Next()), nextFrame_);
  ahead_ = Ahead::NotBegun;
  nextReady_ = true;
}

void PullPath::TakeNextBlock() {
  currentInPieces_ = false;
  if (!nextReady_) {
    renderTime_[Next()] = std::chrono::nanoseconds(0);
    const int16_t* frame = pipeline_.modulator.FrameForThisBlock();
    currentInPieces_ = HowToRender(pipeline_, frame) == BlockRendering::Pieces;
    if (!currentInPieces_) {
      const RenderTimer timed(renderTime_[Next()]);
      RenderWholeBlock(pipeline_, Block(Next()), Block(current_), frame);
    }
  }
  nextReady_ = false;
  current_ = Next();
  offset_ = 0;
  if (!currentInPieces_) BeginNext();
}

void PullPath::EndBlock() {
  int16_t* block = Block(current_);
  if (currentInPieces_) {
    const RenderTimer timed(renderTime_[current_]);
    EndPieces(pipeline_, block, pieces_, PiecesWere::HandedOut);
  }
  if (ahead_ != Ahead::NotBegun) FinishNext();
  if (timings_ != nullptr) timings_->Record(renderTime_[current_]);
  // Every sample of the block has been handed out: it is what plays.
  if (pipeline_.face != nullptr) RecordPlayed(pipeline_.face->ring, block, kBlockBytes);
  PublishBlock(pipeline_, block, static_cast<uint32_t>(blockCount_ % kRingBuffers));
  ++blockCount_;
}

}  // namespace tavolin
