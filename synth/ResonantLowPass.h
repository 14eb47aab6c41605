#pragma once
// Coefficients of the resonant low-pass that each voice and the master chain
// use: cutoff fc in Hz, resonance amp (larger = sharper peak).

#include <cmath>

#include "synth/RenderNumerics.h"

namespace tavolin {

struct LowPassCoefficients {
  double A;  // velocity feedback, r x r
  double B;  // input gain, 1 + r x r - 2 r cos w
};

inline LowPassCoefficients ResonantLowPass(double fc, double amp) {
  const double w = fc * kRadPerHz;
  const double r = 1.0 - w / (w + 2.0 * (0.5 / (w + 1.0) + amp) - 2.0);
  return {r * r, 1.0 + r * r - 2.0 * r * std::cos(w)};
}

// The voice filter's cutoff at sweep position x (cycles): from cut up to
// cut + width and back once per cycle.
inline double SweptCutoff(double cut, double width, double x) {
  return cut + width * (1.0 - std::cos(kSweepTwoPi * x)) * 0.5;
}

}  // namespace tavolin
