#pragma once
#include <array>

namespace tavolin {

inline constexpr int kNoteFreqCount = 120;
using NoteFreqTable = std::array<double, kNoteFreqCount>;

// Index 45 is 440 Hz; neighbouring entries differ by the single-precision
// ratio 1.0595 (slightly wider than equal temperament), each entry computed
// from its neighbour in double precision.
void BuildNoteFreqTable(NoteFreqTable& table);

}  // namespace tavolin
