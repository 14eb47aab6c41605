#pragma once
#include <cstdint>

namespace tavolin {

inline constexpr uint32_t kSampleRate = 44100;
inline constexpr uint32_t kBlockSamples = 1024;
inline constexpr uint32_t kBlockBytes = kBlockSamples * 2;

// The output format, field for field as it is also written into recorded
// WAVE files (18 bytes, little-endian, no padding in the file).
struct WaveFormat {
  uint16_t formatTag = 1;  // PCM
  uint16_t channels = 1;
  uint32_t samplesPerSec = kSampleRate;
  uint32_t avgBytesPerSec = kSampleRate * 2;
  uint16_t blockAlign = 2;
  uint16_t bitsPerSample = 16;
  uint16_t cbSize = 0;
};

}  // namespace tavolin
