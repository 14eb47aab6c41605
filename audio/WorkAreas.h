#pragma once
// The audio engine's work areas, allocated once at start-up (so nothing is
// allocated per block) and freed at shut-down, and what the display reads of
// the engine's results.

#include <cstdint>
#include <memory>

#include "audio/WaveRing.h"
#include "spectral/Complex.h"
#include "spectral/Fft.h"
#include "synth/DisplayHandOff.h"

namespace tavolin {

inline constexpr uint32_t kSpectrumSize = 8192;  // of which the first 1024 are used

// The status display's data, published by the audio thread: a copy of the
// ring's sample memory, block by block as each is finished, and the two
// spectra (the first 1024 values).
struct DisplayFeed {
  DisplayTap<int16_t, kRingSamples> scope;
  DisplayTap<double, kBlockSamples> outputSpectrum;
  DisplayTap<double, kBlockSamples> modulatorSpectrum;
};

struct WorkAreas {
  std::unique_ptr<Complex[]> BlockComplex;      // 1024
  std::unique_ptr<Complex[]> ModulatorComplex;  // 1024
  std::unique_ptr<double[]> OutputSpectrum;     // kSpectrumSize
  std::unique_ptr<double[]> ModulatorSpectrum;  // kSpectrumSize
  std::unique_ptr<int16_t[]> RingScratchA;      // 1024
  std::unique_ptr<int16_t[]> RingScratchB;      // 1024
  std::unique_ptr<double[]> RingProduct;        // 1024
  std::unique_ptr<DisplayFeed> Display;         // all zeros at first, like the ring
  // Built by FftInit before the areas; kept until the process ends.
  FftTables fft;
};

// Allocates every area; false (with nothing allocated) when memory runs out.
bool AllocateWorkAreas(WorkAreas& areas);

// Frees them in a fixed order (the FFT tables stay).
void FreeWorkAreas(WorkAreas& areas);

}  // namespace tavolin
