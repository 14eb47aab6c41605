#pragma once
// The four scalar SSE2 operations that the engine's numerics are built on.
// On x86-64 they are the instructions themselves (no branches, no calls);
// elsewhere their portable twins, which give the same bits for every input,
// NaN, infinities and out-of-range values included. The twins are compiled
// on x86-64 too, so that a test can hold them against the instructions.

#include <cstdint>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace tavolin {
namespace portable {

// cvttsd2si, 64-bit: truncation toward zero; anything whose truncation is
// outside the int64 range, and NaN, gives INT64_MIN ("integer indefinite").
inline int64_t TruncSd64(double x) {
  if (x >= -9223372036854775808.0 && x < 9223372036854775808.0) return static_cast<int64_t>(x);
  return INT64_MIN;
}

// cvttsd2si, 32-bit: the same for the int32 range (-2147483648.9 still
// truncates into it).
inline int32_t TruncSd32(double x) {
  if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
  return INT32_MIN;
}

// minsd and maxsd: the second operand unless the comparison holds, so a NaN
// in either place, or two zeros of either sign, give the second operand.
inline double MinSd(double a, double b) { return a < b ? a : b; }
inline double MaxSd(double a, double b) { return a > b ? a : b; }

}  // namespace portable

#if defined(__x86_64__)
inline int64_t TruncSd64(double x) { return _mm_cvttsd_si64(_mm_set_sd(x)); }
inline int32_t TruncSd32(double x) { return _mm_cvttsd_si32(_mm_set_sd(x)); }
inline double MinSd(double a, double b) { return _mm_cvtsd_f64(_mm_min_sd(_mm_set_sd(a), _mm_set_sd(b))); }
inline double MaxSd(double a, double b) { return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(a), _mm_set_sd(b))); }
#else
using portable::MaxSd;
using portable::MinSd;
using portable::TruncSd32;
using portable::TruncSd64;
#endif

}  // namespace tavolin
