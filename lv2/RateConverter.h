#pragma once
// The engine's 44100 Hz output converted to a host's rate by libsamplerate's
// best sinc converter, streaming. Whatever the sizes of the pieces it is
// given and asked for, it converts in pieces of its own fixed size, so the
// output does not depend on how the host cuts the stream; and it delays the
// output by a whole number of host frames, enough that every request can be
// answered at once. A sample the engine made at time t (in samples) comes
// out at host frame t x rate / 44100 + Delay().

#include <samplerate.h>

#include <cstdint>
#include <memory>

#include "lv2/SampleFifo.h"

namespace tavolin {

class RateConverter {
 public:
  // Allocates everything; `maxIn` is the most one Push may give.
  RateConverter(double hostRate, uint32_t maxIn);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;
  bool Ok() const { return ok_; }

  // The output's delay in host frames.
  uint32_t Delay() const { return delay_; }

  // [audio thread] Starts afresh: nothing pushed, the delay's silence ahead.
  void Reset();

  // [audio thread] Takes `count` samples of the engine's output.
  void Push(const float* in, uint32_t count);
  // [audio thread] Writes the next `frames` host frames. As long as the
  // frames asked for in all do not pass what the samples pushed make at the
  // host's rate, they are all there.
  void Pull(float* out, uint32_t frames);
  // [audio thread] Pulls `frames` host frames and throws them away.
  void Skip(uint32_t frames) { fifo_.Skip(frames); }

 private:
  // The pieces the converter is given; their size adds to the delay.
  static constexpr uint32_t kPiece = 32;

  // Converts one piece into scratch_; the frames it made.
  uint32_t Converted(const float* in);
  uint32_t MeasureDelay();

  SRC_STATE* state_ = nullptr;
  double ratio_;
  float staged_[kPiece]{};  // engine samples not yet converted
  std::unique_ptr<float[]> scratch_;
  uint32_t scratchSize_ = 0;
  uint32_t stagedCount_ = 0;
  SampleFifo fifo_;  // converted, not yet pulled
  uint32_t delay_ = 0;
  bool ok_ = false;
};

}  // namespace tavolin
