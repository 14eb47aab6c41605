#pragma once
// A steady tone's frequency from its rising zero crossings (interpolated
// between samples), and its RMS level.

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

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

// A steady tone's frequency from a stream with gaps (cycles a JACK client
// was late for): a gap breaks one period, so the periods more than 1 % off
// their median are left out and the rest averaged.
inline double PitchAcrossGaps(std::span<const float> s, double rate) {
  std::vector<double> crossings;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) crossings.push_back(static_cast<double>(i - 1) + s[i - 1] / (s[i - 1] - s[i]));
  }
  std::vector<double> periods;
  for (size_t i = 1; i < crossings.size(); ++i) periods.push_back(crossings[i] - crossings[i - 1]);
  if (periods.empty()) return 0;
  std::vector<double> sorted = periods;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const double median = sorted[sorted.size() / 2];
  double sum = 0;
  int whole = 0;
  for (double period : periods) {
    if (std::fabs(period - median) <= 0.01 * median) {
      sum += period;
      ++whole;
    }
  }
  return whole * rate / sum;
}

}  // namespace tavolin::test
