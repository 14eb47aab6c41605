#pragma once
// Switches and state of the master chain that every block passes through
// after the voices: howling feedback, clipping, the master resonant low-pass,
// the spectral stages and the repaint pacing.

#include <atomic>
#include <cstdint>

namespace tavolin {

struct MasterChain {
  // Toggled by the window thread, read by the audio thread (0 = off).
  std::atomic<int32_t> HowlingOn{0};
  std::atomic<int32_t> DistortionOn{0};
  std::atomic<int32_t> LPFResoOn{0};
  std::atomic<int32_t> LPFOn{0};
  std::atomic<int32_t> HPFOn{0};
  std::atomic<int32_t> DisplayRefreshOn{1};

  // Audio thread only. The low-pass state is never reset, so switching the
  // filter off and on again continues where it stopped.
  double ResoY = 0.0;
  double ResoV = 0.0;
  int32_t RepaintCounter = 0;  // blocks since the last repaint request, 0..7
};

}  // namespace tavolin

namespace tavolin {

// Samples from..to-1 of a block: the whole block, or a piece of it.
struct SampleRange {
  uint32_t from;
  uint32_t to;
};

// [audio thread] The stages, each on the samples `range` of one block of
// 1024; every sample depends only on the samples before it, so the pieces of
// a block give the bits of the whole.

// Howling feedback from the previous block: every sample's distance from 128
// divided by `howling` (a divisor of exactly 0 cuts the feedback: silence).
void FeedBackHowling(int16_t* block, const int16_t* previous, double howling, SampleRange range);

// Clipping with a margin of trunc(distortion) sample units at both ends.
void ClipBlock(int16_t* block, double distortion, SampleRange range);

// The master resonant low-pass at `cut` Hz with resonance `amp`, continuing
// from the chain's ResoY and ResoV.
void MasterLowPass(int16_t* block, MasterChain& chain, double cut, double amp, SampleRange range);

// At the end of a block: a low-pass that has run away to infinity or NaN
// starts afresh.
void RestartRunawayLowPass(MasterChain& chain);

}  // namespace tavolin
