#include "synth/UnisonSaws.h"

#include <immintrin.h>

#include "synth/RenderNumerics.h"

namespace tavolin {
namespace {

double AddInOrder(const double (&terms)[8]) {
  double s = 0.0;
  for (double t : terms) s += t;
  return s;
}

double SumScalar(const UnisonSaws& saws, uint32_t n) {
  double terms[8];
  for (int k = 0; k < 8; ++k) terms[k] = 0.5 * (Frac((n + saws.offset[k]) / saws.period[k] * 0.5) - 0.5);
  return AddInOrder(terms);
}

// Four unsigned 32-bit integers to doubles, exactly.
[[gnu::target("avx")]] __m256d UnsignedToDouble(__m128i u) {
  const __m128i flipped = _mm_xor_si128(u, _mm_set1_epi32(INT32_MIN));
  return _mm256_add_pd(_mm256_cvtepi32_pd(flipped), _mm256_set1_pd(2147483648.0));
}

[[gnu::target("avx")]] __m256d SawTerms(__m128i counters, const double* period) {
  const __m256d x = _mm256_mul_pd(_mm256_div_pd(UnsignedToDouble(counters), _mm256_loadu_pd(period)),
                                  _mm256_set1_pd(0.5));
  const __m256d frac = _mm256_sub_pd(x, _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
  return _mm256_mul_pd(_mm256_set1_pd(0.5), _mm256_sub_pd(frac, _mm256_set1_pd(0.5)));
}

[[gnu::target("avx")]] double SumAvx(const UnisonSaws& saws, uint32_t n) {
  const __m128i base = _mm_set1_epi32(static_cast<int>(n));
  const auto* offsets = reinterpret_cast<const __m128i*>(saws.offset);
  double terms[8];
  _mm256_storeu_pd(terms, SawTerms(_mm_add_epi32(base, _mm_loadu_si128(offsets)), saws.period));
  _mm256_storeu_pd(terms + 4, SawTerms(_mm_add_epi32(base, _mm_loadu_si128(offsets + 1)), saws.period + 4));
  return AddInOrder(terms);
}

const bool kHasAvx = __builtin_cpu_supports("avx");

}  // namespace

double SumUnisonSaws(const UnisonSaws& saws, uint32_t n) {
  return kHasAvx ? SumAvx(saws, n) : SumScalar(saws, n);
}

}  // namespace tavolin
