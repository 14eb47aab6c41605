// Feeds arbitrary bytes to the vocoder's modulator loader as a whole file.
// Besides the sanitizers' checks: a loaded modulator never holds more than
// the file, every sample it claims can be read, and a refusal says why.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "spectral/ModulatorFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  file.push_back(0);  // fmemopen needs a buffer even for an empty file
  const tavolin::ModulatorLoad load = tavolin::LoadModulator(fmemopen(file.data(), size, "rb"), "fuzz.wav");
  if (load.data == nullptr) {
    if (load.error.empty()) std::abort();
    return 0;
  }
  if (!load.error.empty() || load.data->bytes > size) std::abort();
  int64_t sum = 0;
  for (uint32_t i = 0; i < load.data->bytes / 2; ++i) sum += load.data->samples[i];
  return sum == INT64_MIN;  // keeps the reads
}
