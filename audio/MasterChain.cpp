#include "audio/MasterChain.h"

#include <cmath>

#include "platform/WaveFormat.h"
#include "synth/RenderNumerics.h"
#include "synth/ResonantLowPass.h"

namespace tavolin {

void FeedBackHowling(int16_t* block, const int16_t* previous, double howling) {
  if (howling == 0.0) {
    for (uint32_t j = 0; j < kBlockSamples; ++j) block[j] = 0;
    return;
  }
  for (uint32_t j = 0; j < kBlockSamples; ++j) {
    const int64_t q = TruncToInt64((previous[j] - 128.0) / howling);
    block[j] = WrapToInt16(static_cast<int64_t>(static_cast<uint64_t>(q) + 128u));
  }
}

void ClipBlock(int16_t* block, double distortion) {
  // In 64 bits, so that no margin can overflow the bounds.
  const int64_t margin = TruncToInt32(distortion);
  const int64_t lo = margin - 32768;
  const int64_t hi = 32767 - margin;
  for (uint32_t j = 0; j < kBlockSamples; ++j) {
    int64_t s = block[j];
    if (s < lo) s = lo;
    if (s > hi) s = hi;
    block[j] = WrapToInt16(s);
  }
}

void MasterLowPass(int16_t* block, MasterChain& chain, double cut, double amp) {
  const LowPassCoefficients k = ResonantLowPass(cut, amp);
  const double g = k.A;
  const double e = k.B;
  double y = chain.ResoY;
  double v = chain.ResoV;
  for (uint32_t j = 0; j < kBlockSamples; ++j) {
    const double o = e * (block[j] - y) + v;
    y = y + o;
    v = o * g;
    block[j] = SaturateToSample(y);
  }
  // A filter that has run away to infinity or NaN would otherwise stay
  // there for good, since its state is never reset: start it afresh.
  if (!std::isfinite(y) || !std::isfinite(v)) y = v = 0.0;
  chain.ResoY = y;
  chain.ResoV = v;
}

}  // namespace tavolin
