#pragma once
// The eight saws of the unison mode, summed for one sample. Sixteen
// divisions per voice and sample in detune mode dominate that mode's cost,
// so on x86-64 processors with AVX four samples are computed at once, one
// per vector lane; IEEE division and truncation give the same bits in any
// lane. Other processors use the scalar sum.

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "synth/RenderNumerics.h"

namespace tavolin {

struct UnisonSaws {
  uint32_t offset[8];  // samples added to the counter (unsigned 32-bit sum)
  double ratio[8];     // period ratios
  double period[8];    // P x ratio, set when the pitch changes
};

// [audio thread] sum over k of 0.5 x (frac((n + offset[k]) / period[k] x 0.5) - 0.5),
// added in the order k = 0..7.
inline double SumUnisonSaws(const UnisonSaws& saws, uint32_t n) {
  double s = 0.0;
  for (int k = 0; k < 8; ++k) s += 0.5 * (Frac((n + saws.offset[k]) / saws.period[k] * 0.5) - 0.5);
  return s;
}

#if defined(__x86_64__)
// Four unsigned 32-bit integers to doubles, exactly.
[[gnu::target("avx")]] inline __m256d UnsignedToDouble(__m128i u) {
  const __m128i flipped = _mm_xor_si128(u, _mm_set1_epi32(INT32_MIN));
  return _mm256_add_pd(_mm256_cvtepi32_pd(flipped), _mm256_set1_pd(2147483648.0));
}

// The sums for the four samples n .. n + 3 at once, one sample per lane:
// each lane adds its eight terms in the same order as the scalar sum.
[[gnu::target("avx")]] inline void SumUnisonSawsAvx(const UnisonSaws& saws, uint32_t n, double (&sums)[4]) {
  const __m128i counters = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(n)), _mm_setr_epi32(0, 1, 2, 3));
  const __m256d half = _mm256_set1_pd(0.5);
  __m256d sum = _mm256_setzero_pd();
  for (int k = 0; k < 8; ++k) {
    const __m128i m = _mm_add_epi32(counters, _mm_set1_epi32(static_cast<int>(saws.offset[k])));
    const __m256d x = _mm256_mul_pd(_mm256_div_pd(UnsignedToDouble(m), _mm256_set1_pd(saws.period[k])), half);
    const __m256d frac = _mm256_sub_pd(x, _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    sum = _mm256_add_pd(sum, _mm256_mul_pd(half, _mm256_sub_pd(frac, half)));
  }
  _mm256_storeu_pd(sums, sum);
}
#endif

}  // namespace tavolin
