#include "lv2/RateConverter.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/WaveFormat.h"

namespace tavolin {

namespace {

// Long enough to pass through every phase of the pieces against the ratio's
// period (44100 / gcd(44100, rate) input samples) at the usual rates.
constexpr uint32_t kMeasuredSamples = 1 << 15;

}  // namespace

RateConverter::RateConverter(double hostRate, uint32_t maxIn) : ratio_(hostRate / kSampleRate) {
  int error = 0;
  state_ = src_new(SRC_SINC_BEST_QUALITY, 1, &error);
  // What one piece may give at once, with room for what the converter held back.
  scratchSize_ = static_cast<uint32_t>(std::ceil(kPiece * ratio_)) + 256;
  scratch_.reset(new (std::nothrow) float[scratchSize_]);
  if (state_ == nullptr || !scratch_ || src_is_valid_ratio(ratio_) == 0) return;
  delay_ = MeasureDelay();
  const double most = delay_ + (static_cast<double>(maxIn) + kPiece) * ratio_ + scratchSize_;
  if (!fifo_.Allocate(static_cast<uint64_t>(most))) return;
  Reset();
  ok_ = true;
}

void RateConverter::Reset() {
  src_reset(state_);
  stagedCount_ = 0;
  fifo_.Clear();
  fifo_.WriteSilence(delay_);
}

RateConverter::~RateConverter() {
  if (state_ != nullptr) src_delete(state_);
}

uint32_t RateConverter::Converted(const float* in) {
  uint32_t made = 0;
  for (long used = 0; used < static_cast<long>(kPiece);) {
    SRC_DATA data{};
    data.data_in = in + used;
    data.input_frames = static_cast<long>(kPiece) - used;
    data.data_out = scratch_.get() + made;
    data.output_frames = static_cast<long>(scratchSize_ - made);
    data.src_ratio = ratio_;
    if (src_process(state_, &data) != 0 || (data.input_frames_used == 0 && data.output_frames_gen == 0)) break;
    used += data.input_frames_used;
    made += static_cast<uint32_t>(data.output_frames_gen);
  }
  return made;
}

uint32_t RateConverter::MeasureDelay() {
  // Silence pushed as Push converts it, a piece at a time: how far the
  // output falls behind the input's time at the host's rate, at worst. That
  // is just before a piece is complete, when all its samples but one were
  // pushed and none converted.
  const float silence[kPiece]{};
  uint64_t made = 0;
  double worst = 0;
  for (uint64_t pieces = 0; pieces * kPiece < kMeasuredSamples; ++pieces) {
    worst = std::max(worst,
                     std::floor(static_cast<double>((pieces + 1) * kPiece - 1) * ratio_) - static_cast<double>(made));
    made += Converted(silence);
  }
  src_reset(state_);
  // The host's frames run ahead of the samples pushed by less than a ratio and one.
  return static_cast<uint32_t>(worst) + static_cast<uint32_t>(std::ceil(ratio_)) + 1;
}

void RateConverter::Push(const float* in, uint32_t count) {
  while (count > 0) {
    const uint32_t n = std::min(count, kPiece - stagedCount_);
    std::copy(in, in + n, staged_ + stagedCount_);
    stagedCount_ += n;
    in += n;
    count -= n;
    if (stagedCount_ < kPiece) break;
    stagedCount_ = 0;
    const uint32_t made = Converted(staged_);
    for (uint32_t i = 0; i < made; ++i) fifo_.Write(scratch_[i]);
  }
}

void RateConverter::Pull(float* out, uint32_t frames) { fifo_.Read(out, frames); }

}  // namespace tavolin
