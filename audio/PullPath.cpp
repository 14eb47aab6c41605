#include "audio/PullPath.h"

#include <algorithm>

#include "platform/WaveFormat.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

PullPath::PullPath(const BlockPipeline& pipeline, BlockTimings* timings)
    : pipeline_(pipeline), timings_(timings), blocks_(std::make_unique<int16_t[]>(2 * kBlockSamples)) {}

void PullPath::Fill(int16_t* out, uint32_t frames) {
  if (mayBeginNext_ && ahead_ == Ahead::NotBegun) BeginNext();
  bool handedFirstSample = false;
  while (frames > 0) {
    if (offset_ == kBlockSamples) {
      TakeNextBlock();
      handedFirstSample = true;
    }
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
  if (ahead_ != Ahead::Voices) return;
  BeginWholeVoices(pipeline_, Block(Next()), Block(current_));
  voicesTime_ = std::chrono::nanoseconds(0);
  voicesAtBegin_ = static_cast<uint32_t>(
      std::count_if(std::begin(pipeline_.synth.voices), std::end(pipeline_.synth.voices), IsActive));
}

uint32_t PullPath::AheadUnits() const {
  return ahead_ == Ahead::Pieces ? kBlockSamples : static_cast<uint32_t>(kVoiceCount);
}

// The next block's share of a call that hands out `frames` of the current
// one. Pieces: what is left, spread evenly over the current block's samples
// still to go; so spread they never pass the sample being handed out, so a
// note played meanwhile starts in the next block exactly where it was played.
// Voice slots: the same until the cost per voice is known.
void PullPath::RenderAhead(uint32_t frames) {
  const uint32_t framesLeft = kBlockSamples - offset_;
  if (ahead_ == Ahead::Voices && nsPerVoice_ > 0.0) {
    RenderNextUnits(VoiceSlotsDueNow(frames, framesLeft));
    return;
  }
  RenderNextUnits(((AheadUnits() - aheadDone_) * frames + framesLeft - 1) / framesLeft);
}

// Voice slots: as few as the calls still to come allow (the rest of the
// current block's and the one that hands out the next block's first sample),
// each of them spending at most a quarter of its own duration at the cost per
// voice the last such block had. A note played meanwhile is then more likely
// to find its slot not yet rendered and to sound a block earlier.
uint32_t PullPath::VoiceSlotsDueNow(uint32_t frames, uint32_t framesLeft) const {
  constexpr double kShareOfACall = 0.25;
  const double laterCalls = 1.0 + (framesLeft - frames) / static_cast<double>(frames);
  const double laterVoices = laterCalls * (frames * 1e9 / kSampleRate) * kShareOfACall / nsPerVoice_;
  uint32_t activeLeft = 0;
  for (uint32_t i = aheadDone_; i < static_cast<uint32_t>(kVoiceCount); ++i)
    activeLeft += IsActive(pipeline_.synth.voices[i]) ? 1 : 0;
  if (activeLeft <= laterVoices) return 0;
  // The slots up to the last voice that cannot wait.
  uint32_t dueNow = activeLeft - static_cast<uint32_t>(laterVoices);
  uint32_t slot = aheadDone_;
  for (; slot < static_cast<uint32_t>(kVoiceCount) && dueNow > 0; ++slot)
    dueNow -= IsActive(pipeline_.synth.voices[slot]) ? 1 : 0;
  return slot - aheadDone_;
}

void PullPath::RenderNextUnits(uint32_t count) {
  if (count == 0) return;
  const RenderTimer timed(renderTime_[Next()]);
  const uint32_t from = aheadDone_;
  aheadDone_ += count;
  if (ahead_ == Ahead::Pieces) {
    RenderBlockPiece(pipeline_, Block(Next()), Block(current_), {from, aheadDone_}, pieces_);
    return;
  }
  const RenderTimer timedVoices(voicesTime_);
  RenderWholeVoices(pipeline_, Block(Next()), from, aheadDone_);
}

void PullPath::FinishNext() {
  RenderNextUnits(AheadUnits() - aheadDone_);
  const RenderTimer timed(renderTime_[Next()]);
  if (ahead_ == Ahead::Pieces) {
    EndPieces(pipeline_, Block(Next()), pieces_, PiecesWere::RenderedAhead, nextFrame_);
  } else {
    EndWholeVoices(pipeline_, Block(Next()), nextFrame_);
    if (voicesAtBegin_ > 0) nsPerVoice_ = static_cast<double>(voicesTime_.count()) / voicesAtBegin_;
  }
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
