#include "audio/WorkAreas.h"

#include <new>

#include "platform/WaveFormat.h"

namespace tavolin {

namespace {
template <typename T>
bool Allocate(std::unique_ptr<T[]>& area, uint32_t count) {
  area.reset(new (std::nothrow) T[count]());  // zeroed: the display may read a spectrum before the first block
  return area != nullptr;
}
}  // namespace

bool AllocateWorkAreas(WorkAreas& a) {
  const bool ok = Allocate(a.BlockComplex, kBlockSamples) && Allocate(a.ModulatorComplex, kBlockSamples) &&
                  Allocate(a.OutputSpectrum, kSpectrumSize) && Allocate(a.ModulatorSpectrum, kSpectrumSize) &&
                  Allocate(a.RingScratchA, kBlockSamples) && Allocate(a.RingScratchB, kBlockSamples) &&
                  Allocate(a.RingProduct, kBlockSamples);
  a.Display.reset(ok ? new (std::nothrow) DisplayFeed() : nullptr);
  if (!a.Display) FreeWorkAreas(a);
  return a.Display != nullptr;
}

void FreeWorkAreas(WorkAreas& a) {
  a.BlockComplex.reset();
  a.ModulatorComplex.reset();
  a.OutputSpectrum.reset();
  a.ModulatorSpectrum.reset();
  a.RingScratchA.reset();
  a.RingScratchB.reset();
  a.RingProduct.reset();
  a.Display.reset();
}

}  // namespace tavolin
