#pragma once
// The frequency-domain end of the master chain: spectral low-pass,
// high-pass and vocoder on one 1024-sample block, and the power spectrum of
// the block as it leaves the chain. One FFT frame is one block: no window,
// no overlap.

#include <cstdint>

#include "spectral/Fft.h"

namespace tavolin {

// The switches and corners as read for this block; corners in FFT bins.
struct SpectralSettings {
  bool lowPass = false;
  double LPFFact = 70.0;
  bool highPass = false;
  double HPFFact = 70.0;
};

// The work areas the stages write (1024 values each).
struct SpectralAreas {
  Complex* BlockComplex;
  Complex* ModulatorComplex;
  double* OutputSpectrum;
  double* ModulatorSpectrum;
};

// [audio thread] Runs the stages on `block` (1024 samples) in place. The
// vocoder runs when `modulatorFrame` (1024 samples) is given; it also writes
// ModulatorSpectrum. Each stage that runs starts from the complex result of
// the one before and rewrites the block from it; with no stage running the
// block is left exactly as it was. Last, the block's power spectrum goes to
// OutputSpectrum, unless that is null (only a display reads it).
void SpectralStages(const FftTables& tables, int16_t* block, const SpectralSettings& settings,
                    const int16_t* modulatorFrame, const SpectralAreas& areas);

}  // namespace tavolin
