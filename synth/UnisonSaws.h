#pragma once
// The eight saws of the unison mode, summed for one sample. Sixteen
// divisions per voice and sample in detune mode dominate that mode's cost,
// so on processors with AVX the eight are divided in vector lanes; IEEE
// division and truncation give the same bits in any lane.

#include <cstdint>

namespace tavolin {

struct UnisonSaws {
  uint32_t offset[8];  // samples added to the counter (unsigned 32-bit sum)
  double ratio[8];     // period ratios
  double period[8];    // P x ratio, set when the pitch changes
};

// [audio thread] sum over k of 0.5 x (frac((n + offset[k]) / period[k] x 0.5) - 0.5),
// added in the order k = 0..7.
double SumUnisonSaws(const UnisonSaws& saws, uint32_t n);

}  // namespace tavolin
