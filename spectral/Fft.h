#pragma once
// The in-place complex FFT of the spectral stages, with its tables, and the
// conversions between 16-bit samples, complex values and power spectra.
// Results are fixed to the bit: the kernel is a plain radix-2 decimation in
// frequency over precomputed tables, built with the same floating-point
// options as the renderer.

#include <cstdint>
#include <memory>

#include "spectral/Complex.h"

namespace tavolin {

inline constexpr int32_t kFftSize = 1024;

// Built once at start-up, before the first block; read-only afterwards.
struct FftTables {
  int32_t size = 0;  // 0 until FftInit has run
  std::unique_ptr<double[]> sine;
  std::unique_ptr<double[]> cosine;
  std::unique_ptr<int32_t[]> bitReverse;
};

// Builds the tables for n points. False (tables left as they were) when n
// is not a power of two or memory runs out.
bool FftInit(FftTables& tables, int32_t n);

// [audio thread] dir > 0: forward kernel, otherwise inverse; the result is
// scaled by 1/n when dir is 1 or -2. Returns 1 and leaves `data` untouched
// when n is not the tables' size, otherwise 0.
int32_t Fft(const FftTables& tables, int32_t dir, Complex* data, int32_t n);

// [audio thread] Each sample / 32768 as a real value.
void ToComplex(const int16_t* samples, Complex* out, int32_t count);

// [audio thread] Each real part x 32767, truncated toward zero, keeping the
// low 16 bits (no clamp: values beyond full scale wrap).
void ToSamples(const Complex* in, int16_t* out, int32_t count);

// [audio thread] re^2 + im^2 of each value.
void PowerSpectrum(const Complex* in, double* out, int32_t count);

}  // namespace tavolin
