#include "spectral/SpectralStages.h"

namespace tavolin {

namespace {

constexpr double kVocoderGain = 500.0;

// Weights every bin as stored, the negative frequencies included without
// mirroring, by 1 / max(divisor(k), 1), and writes the block back.
template <typename Divisor>
void FilterBins(const FftTables& tables, Complex* x, int16_t* block, Divisor divisor) {
  Fft(tables, 1, x, kFftSize);
  for (int32_t k = 0; k < kFftSize; ++k) {
    double f = divisor(k);
    if (f < 1.0) f = 1.0;
    x[k].re = x[k].re / f;
    x[k].im = x[k].im / f;
  }
  Fft(tables, -1, x, kFftSize);
  ToSamples(x, block, kFftSize);
}

double LimitGain(double g) {
  if (g > 1.0) return 1.0;
  if (g < -1.0) return -1.0;
  return g;
}

// Real and imaginary parts are weighted separately by the modulator's,
// signs kept: the sound takes on the modulator's spectral pattern.
void Vocode(const FftTables& tables, const int16_t* frame, int16_t* block, const SpectralAreas& areas) {
  Complex* m = areas.ModulatorComplex;
  Complex* x = areas.BlockComplex;
  ToComplex(frame, m, kFftSize);
  Fft(tables, 1, m, kFftSize);
  PowerSpectrum(m, areas.ModulatorSpectrum, kFftSize);
  Fft(tables, 1, x, kFftSize);
  for (int32_t k = 0; k < kFftSize; ++k) {
    x[k].re = x[k].re * LimitGain(kVocoderGain * m[k].re);
    x[k].im = x[k].im * LimitGain(kVocoderGain * m[k].im);
  }
  Fft(tables, -1, x, kFftSize);
  ToSamples(x, block, kFftSize);
}

}  // namespace

void SpectralStages(const FftTables& tables, int16_t* block, const SpectralSettings& settings,
                    const int16_t* modulatorFrame, const SpectralAreas& areas) {
  Complex* x = areas.BlockComplex;
  ToComplex(block, x, kFftSize);
  if (settings.lowPass) {
    const double fact = settings.LPFFact;
    FilterBins(tables, x, block, [fact](int32_t k) { return static_cast<double>(k + 1) / fact; });
  }
  if (settings.highPass) {
    const double fact = settings.HPFFact;
    FilterBins(tables, x, block, [fact](int32_t k) { return 1.0 / (static_cast<double>(k + 1) / fact); });
  }
  if (modulatorFrame != nullptr) Vocode(tables, modulatorFrame, block, areas);
  if (areas.OutputSpectrum == nullptr) return;
  Fft(tables, 1, x, kFftSize);
  PowerSpectrum(x, areas.OutputSpectrum, kFftSize);
}

}  // namespace tavolin
