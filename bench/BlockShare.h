#pragma once
// The counter every block benchmark reports: the share of a block's real
// time (1024 samples at 44100 Hz) one iteration takes.

#include <benchmark/benchmark.h>

#include "platform/WaveFormat.h"

namespace tavolin {

// Each iteration renders one block's worth of samples.
inline void SetBlockShare(benchmark::State& state) {
  constexpr double kBlockSeconds = static_cast<double>(kBlockSamples) / kSampleRate;
  state.counters["block_share"] =
      benchmark::Counter(kBlockSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace tavolin
