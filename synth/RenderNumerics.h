#pragma once
// The arithmetic conventions of the engine: the widened single-precision
// constants, truncation toward zero and the 16-bit wrap. C++ leaves the
// conversion of a non-finite or out-of-range double to an integer undefined;
// these helpers give every input a defined result (NaN -> 0, saturation).

#include <cmath>
#include <cstdint>

namespace tavolin {

inline constexpr double kSemi = 1.059000015258789;            // single-precision 1.059
inline constexpr double kTwoPiS = 6.283180236816406;          // single-precision 6.28318
inline constexpr double kTwoPiSPerMs = 0.006283180236816406;  // the same / 1000
inline constexpr double kInvRate = 2.2675736961451248e-05;    // 1 / 44100
inline constexpr double kInvTwiceRate = 1.1337868480725624e-05;  // 1 / 88200
inline constexpr double kMinModPower = 0.009999999776482582;  // single-precision 0.01
inline constexpr double kSpikeLevel = 0.4000000059604645;     // single-precision 0.4
inline constexpr double kRadPerHz = 0.00014247585732426305;   // 6.283185308 / 44100
inline constexpr double kSweepTwoPi = 6.283185308;

// x - trunc(x).
inline double Frac(double x) { return x - std::trunc(x); }

// Truncation toward zero, saturating at the int64 range; NaN gives 0.
inline int64_t TruncToInt64(double x) {
  if (!(x == x)) return 0;
  if (x >= 9223372036854775807.0) return INT64_MAX;
  if (x <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(x);
}

// Truncation toward zero, saturating at the int32 range; NaN gives 0.
inline int32_t TruncToInt32(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// The low 16 bits as a signed sample (two's-complement wrap).
inline int16_t WrapToInt16(int64_t x) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(x)));
}

// Limits to -32768..32767 (NaN passes through; TruncToInt64 then makes it 0).
inline double ClampToSampleRange(double x) {
  if (x < -32768.0) return -32768.0;
  if (x > 32767.0) return 32767.0;
  return x;
}

// A double limited to the sample range and truncated toward zero.
inline int16_t SaturateToSample(double x) {
  return static_cast<int16_t>(TruncToInt64(ClampToSampleRange(x)));
}

}  // namespace tavolin
