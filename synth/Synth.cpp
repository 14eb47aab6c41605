#include "synth/Synth.h"

namespace tavolin {

namespace {
// Start offsets in samples and period ratios of the eight unison saws; the
// ratios are single-precision values widened.
constexpr int32_t kUnisonOffsets[kUnisonSaws] = {0, 2, 4, 6, 8, 10, 12, 14};
constexpr float kUnisonRatios[kUnisonSaws] = {0.98f, 0.99f, 0.995f, 0.998f, 1.002f, 1.005f, 1.01f, 1.02f};
}  // namespace

Synth::Synth() {
  for (int k = 0; k < kUnisonSaws; ++k) {
    UnisonOffset[k].store(kUnisonOffsets[k], std::memory_order_relaxed);
    UnisonRatio[k].store(static_cast<double>(kUnisonRatios[k]), std::memory_order_relaxed);
  }
}

}  // namespace tavolin
