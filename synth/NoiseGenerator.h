#pragma once
// The pseudo-random integers of the noise modes: the classic 31-bit linear
// congruential generator with the range 0..32767. It starts from the same
// seed in every run, so renders with noise repeat exactly. Audio thread only.

#include <cstdint>

namespace tavolin {

struct NoiseGenerator {
  uint32_t state = 1;

  int32_t Next() {
    state = state * 1103515245u + 12345u;
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
  }
};

}  // namespace tavolin
