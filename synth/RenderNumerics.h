#pragma once
// The arithmetic conventions of the engine: the widened single-precision
// constants, truncation toward zero and the 16-bit wrap. C++ leaves the
// conversion of a non-finite or out-of-range double to an integer undefined;
// these helpers give every input a defined result (NaN -> 0, saturation).

#include <cmath>
#include <cstdint>

#include "synth/Sse2Scalar.h"

namespace tavolin {

inline constexpr double kSemi = 1.059000015258789;               // single-precision 1.059
inline constexpr double kTwoPiS = 6.283180236816406;             // single-precision 6.28318
inline constexpr double kTwoPiSPerMs = 0.006283180236816406;     // the same / 1000
inline constexpr double kInvRate = 2.2675736961451248e-05;       // 1 / 44100
inline constexpr double kInvTwiceRate = 1.1337868480725624e-05;  // 1 / 88200
inline constexpr double kMinModPower = 0.009999999776482582;     // single-precision 0.01
inline constexpr double kSpikeLevel = 0.4000000059604645;        // single-precision 0.4
inline constexpr double kRadPerHz = 0.00014247585732426305;      // 6.283185308 / 44100
inline constexpr double kSweepTwoPi = 6.283185308;

// x - trunc(x), without branches in the usual case: the 64-bit conversion
// truncates, and gives INT64_MIN only at or beyond 2^63 or for NaN. One difference: for x = -0.0 the result is -0.0,
// not +0.0. No caller can tell: every fractional part is compared, offset by 0.5 or passed to a sine whose zero is only
// ever scaled and added to a sample value.
inline double Frac(double x) {
  const int64_t whole = TruncSd64(x);
  if (whole == INT64_MIN) [[unlikely]]
    return x - std::trunc(x);
  return x - static_cast<double>(whole);
}

// Truncation toward zero, saturating at the int64 range; NaN gives 0.
inline int64_t TruncToInt64(double x) {
  // The conversion gives INT64_MIN for NaN and out-of-range values; only
  // then is more to decide.
  const int64_t r = TruncSd64(x);
  if (r != INT64_MIN) [[likely]]
    return r;
  if (!(x == x)) return 0;
  return x > 0.0 ? INT64_MAX : INT64_MIN;
}

// Truncation toward zero, saturating at the int32 range; NaN gives 0.
inline int32_t TruncToInt32(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// The low 16 bits as a signed sample (two's-complement wrap).
inline int16_t WrapToInt16(int64_t x) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(x))); }

// Limits to -32768..32767; NaN passes through (TruncToInt64 then makes it
// 0). Branch-free: maxsd and minsd return their second operand when one is NaN.
inline double ClampToSampleRange(double x) { return MinSd(32767.0, MaxSd(-32768.0, x)); }

// A double limited to the sample range and truncated toward zero; NaN
// gives 0. Branch-free: it runs once per voice and sample. The conversion
// gives INT32_MIN only for NaN here, whose low 16 bits are 0.
inline int16_t SaturateToSample(double x) { return static_cast<int16_t>(TruncSd32(ClampToSampleRange(x))); }

}  // namespace tavolin
