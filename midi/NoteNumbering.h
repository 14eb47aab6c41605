#pragma once
// Which entry of the note table a MIDI note number plays. Songs and plugin
// hosts number notes as the MIDI standard does (note 69 is A at 440 Hz); the
// program's live input has always played note n as entry n (note 45 is that A).

#include <algorithm>
#include <cstdint>

#include "synth/NoteFreqTable.h"

namespace tavolin {

enum class NoteNumbering { Standard, LiveInput };

// The table entry of `note`, clamped to the table's ends.
constexpr int NoteFreqIndex(int64_t note, NoteNumbering numbering) {
  // The table starts two octaves above MIDI note 0.
  constexpr int64_t kStandardOffset = 24;
  const int64_t entry = numbering == NoteNumbering::Standard ? note - kStandardOffset : note;
  return static_cast<int>(std::clamp<int64_t>(entry, 0, kNoteFreqCount - 1));
}

}  // namespace tavolin
