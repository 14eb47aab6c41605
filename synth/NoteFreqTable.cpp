#include "synth/NoteFreqTable.h"

namespace tavolin {

namespace {
constexpr int kA440Index = 45;
constexpr double kSemitoneUp = static_cast<double>(1.0595f);  // 1.059499979019165
constexpr double kSemitoneDown = 0.9438414533294778;          // 1 / kSemitoneUp, as a double
}  // namespace

void BuildNoteFreqTable(NoteFreqTable& table) {
  table[kA440Index] = 440.0;
  for (int i = kA440Index - 1; i >= 0; --i) table[i] = table[i + 1] * kSemitoneDown;
  for (int i = kA440Index + 1; i < kNoteFreqCount; ++i) table[i] = table[i - 1] * kSemitoneUp;
}

}  // namespace tavolin
