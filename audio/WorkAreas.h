#pragma once
// The audio engine's work areas, allocated once at start-up (so nothing is
// allocated per block) and freed at shut-down.

#include <cstdint>
#include <memory>

#include "spectral/Complex.h"

namespace tavolin {

inline constexpr uint32_t kSpectrumSize = 8192;  // of which the first 1024 are used

struct WorkAreas {
  std::unique_ptr<Complex[]> BlockComplex;      // 1024
  std::unique_ptr<Complex[]> ModulatorComplex;  // 1024
  std::unique_ptr<double[]> OutputSpectrum;     // kSpectrumSize
  std::unique_ptr<double[]> ModulatorSpectrum;  // kSpectrumSize
  std::unique_ptr<int16_t[]> RingScratchA;      // 1024
  std::unique_ptr<int16_t[]> RingScratchB;      // 1024
  std::unique_ptr<double[]> RingProduct;        // 1024
};

// Allocates every area; false (with nothing allocated) when memory runs out.
bool AllocateWorkAreas(WorkAreas& areas);

// Frees them in a fixed order.
void FreeWorkAreas(WorkAreas& areas);

}  // namespace tavolin
