#pragma once
// A steady tone's frequency from its rising zero crossings (interpolated
// between samples), and its RMS level.

#include <cmath>
#include <span>

namespace tavolin::test {

struct Tone {
  double hz;
  double rms;
};

inline Tone Measure(std::span<const float> s, double rate) {
  double first = -1, last = -1, squares = 0;
  int crossings = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    squares += double{s[i]} * s[i];
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double at = static_cast<double>(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return {(crossings - 1) * rate / (last - first), std::sqrt(squares / static_cast<double>(s.size()))};
}

}  // namespace tavolin::test
