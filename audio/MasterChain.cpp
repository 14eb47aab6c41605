#include "audio/MasterChain.h"

#include <cmath>

#include "synth/RenderNumerics.h"
#include "synth/ResonantLowPass.h"

namespace tavolin {

void FeedBackHowling(int16_t* block, const int16_t* previous, double howling, SampleRange range) {
  if (howling == 0.0) {
    for (uint32_t j = range.from; j < range.to; ++j) block[j] = 0;
    return;
  }
  for (uint32_t j = range.from; j < range.to; ++j) {
    const int64_t q = TruncToInt64((previous[j] - 128.0) / howling);
    block[j] = WrapToInt16(static_cast<int64_t>(static_cast<uint64_t>(q) + 128u));
  }
}

void ClipBlock(int16_t* block, double distortion, SampleRange range) {
  // In 64 bits, so that no margin can overflow the bounds.
  const int64_t margin = TruncToInt32(distortion);
  const int64_t lo = margin - 32768;
  const int64_t hi = 32767 - margin;
  for (uint32_t j = range.from; j < range.to; ++j) {
    int64_t s = block[j];
    if (s < lo) s = lo;
    if (s > hi) s = hi;
    block[j] = WrapToInt16(s);
  }
}

void MasterLowPass(int16_t* block, MasterChain& chain, double cut, double amp, SampleRange range) {
  const LowPassCoefficients k = ResonantLowPass(cut, amp);
  const double g = k.A;
  const double e = k.B;
  double y = chain.ResoY;
  double v = chain.ResoV;
  for (uint32_t j = range.from; j < range.to; ++j) {
    const double o = e * (block[j] - y) + v;
    y = y + o;
    v = o * g;
    block[j] = SaturateToSample(y);
  }
  chain.ResoY = y;
  chain.ResoV = v;
}

void RestartRunawayLowPass(MasterChain& chain) {
  // Its state is never reset otherwise, so it would stay there for good.
  if (!std::isfinite(chain.ResoY) || !std::isfinite(chain.ResoV)) chain.ResoY = chain.ResoV = 0.0;
}

}  // namespace tavolin
