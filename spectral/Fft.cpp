#include "spectral/Fft.h"

#include <cmath>
#include <new>
#include <utility>

#include "synth/RenderNumerics.h"

namespace tavolin {

namespace {

// Slightly short of 2 pi; the tables are defined with this value.
constexpr double kTableTurn = 6.28318530717958;

bool IsPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

// The reversal built incrementally, as a counter whose carries run from the
// top bit down.
void FillBitReverse(int32_t* entry, int32_t n) {
  int32_t j = 0;
  for (int32_t i = 1; i <= n - 2; ++i) {
    int32_t k = n / 2;
    while (k <= j && j != 0) {
      j -= k;
      k /= 2;
    }
    j += k;
    entry[i] = j;
  }
  entry[0] = 0;
  entry[n - 1] = n - 1;
}

}  // namespace

bool FftInit(FftTables& tables, int32_t n) {
  if (!IsPowerOfTwo(n)) return false;
  std::unique_ptr<double[]> sine(new (std::nothrow) double[n]);
  std::unique_ptr<double[]> cosine(new (std::nothrow) double[n]);
  std::unique_ptr<int32_t[]> bitReverse(new (std::nothrow) int32_t[n]);
  if (!sine || !cosine || !bitReverse) return false;
  for (int32_t i = 0; i < n; ++i) {
    const double a = static_cast<double>(i) * kTableTurn / static_cast<double>(n);
    sine[i] = std::sin(a);
    cosine[i] = std::cos(a);
  }
  FillBitReverse(bitReverse.get(), n);
  tables.sine = std::move(sine);
  tables.cosine = std::move(cosine);
  tables.bitReverse = std::move(bitReverse);
  tables.size = n;
  return true;
}

int32_t Fft(const FftTables& tables, int32_t dir, Complex* data, int32_t n) {
  if (n != tables.size || n == 0) return 1;
  int32_t stages = 0;
  for (int32_t reach = 1; reach < n; reach *= 2) ++stages;

  for (int32_t s = 1; s <= stages; ++s) {
    const int32_t span = 1 << (stages - s + 1);
    const int32_t half = span / 2;
    const int32_t step = 1 << (s - 1);
    for (int32_t k = 0; k < half; ++k) {
      const int32_t t = (k * step) % n;
      const double wr = tables.cosine[t];
      const double wi = dir > 0 ? -tables.sine[t] : tables.sine[t];
      for (int32_t h = k; h < n; h += span) {
        // Both inputs are read before either output is written.
        const Complex a = data[h];
        const Complex c = data[h + half];
        const double dr = a.re - c.re;
        const double di = a.im - c.im;
        data[h].re = a.re + c.re;
        data[h].im = a.im + c.im;
        data[h + half].re = dr * wr - di * wi;
        data[h + half].im = dr * wi + di * wr;
      }
    }
  }

  for (int32_t i = 1; i <= n - 2; ++i) {
    const int32_t r = tables.bitReverse[i];
    if (i < r) std::swap(data[i], data[r]);
  }

  if (dir == 1 || dir == -2) {
    const double scale = 1.0 / static_cast<double>(n);
    for (int32_t i = 0; i < n; ++i) {
      data[i].re *= scale;
      data[i].im *= scale;
    }
  }
  return 0;
}

void ToComplex(const int16_t* samples, Complex* out, int32_t count) {
  for (int32_t i = 0; i < count; ++i) out[i] = Complex{static_cast<double>(samples[i]) * 3.0517578125e-05, 0.0};
}

void ToSamples(const Complex* in, int16_t* out, int32_t count) {
  for (int32_t i = 0; i < count; ++i) out[i] = WrapToInt16(TruncToInt64(in[i].re * 32767.0));
}

void PowerSpectrum(const Complex* in, double* out, int32_t count) {
  for (int32_t i = 0; i < count; ++i) out[i] = in[i].re * in[i].re + in[i].im * in[i].im;
}

}  // namespace tavolin
