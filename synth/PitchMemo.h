#pragma once
// Remembered results of the renderer's power and sine functions. The same
// input always gives the same result, so a function is evaluated again only
// when its input's bits change: pitch bend and shift rarely change, the
// arpeggio has three steps and the vibrato's millisecond tick advances once
// every 44 samples. Audio thread only.

#include <bit>
#include <cmath>
#include <cstdint>

#include "synth/RenderNumerics.h"

namespace tavolin {

// f(x) for the last x seen, keyed on the bit pattern of x.
template <double (*Fn)(double)>
struct Memo {
  uint64_t key = std::bit_cast<uint64_t>(0.0);
  double value = Fn(0.0);

  bool Holds(double x) const { return std::bit_cast<uint64_t>(x) == key; }

  double operator()(double x) {
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    if (bits != key) [[unlikely]] {
      key = bits;
      value = Fn(x);
    }
    return value;
  }
};

inline double SemiPow(double semitones) { return std::pow(kSemi, semitones); }
inline double Sine(double x) { return std::sin(x); }

using SemiPowMemo = Memo<&SemiPow>;
using SineMemo = Memo<&Sine>;

struct PitchMemo {
  SemiPowMemo bend[17];  // per MIDI channel; the last for live voices
  SemiPowMemo shift;
  SemiPowMemo arpeggio[3];  // per arpeggio step (step 0 is a factor of 1 and needs none)
  SineMemo vibratoSine;
  SemiPowMemo vibrato;
};

}  // namespace tavolin
