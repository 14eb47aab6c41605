#pragma once
// The five-second preview of the song's coming notes: one 3-pixel lane per
// note number, x 640 (now) to 1140 (now + 5 s) at 10 ms per pixel.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "midi/player/SeqEvent.h"
#include "ui/StatusFrame.h"

namespace tavolin {

// The notes of one note number in list order, with a tree of their latest
// ends, so that a paint asks "which note shows here" in log time instead of
// walking the song.
struct PreviewLane {
  struct Note {
    uint32_t start;
    uint32_t end;  // the first later NoteOff of its channel and key; its own time when none
    int green;
  };
  std::vector<Note> notes;
  std::vector<uint32_t> latestEnd;  // max-tree over the notes' ends, leaves from leafBase
  size_t leafBase = 0;

  // The last note before `count` that ends at or after `time`; -1: none.
  ptrdiff_t LastEndingFrom(size_t count, uint32_t time) const;
};

// The preview's view of one song, worked out once per song. Keeps the song
// it belongs to alive.
struct PreviewNotes {
  std::shared_ptr<const EventList> song;
  bool inOrder = false;  // times never go down (a song past 2^32 ms has none shown)
  std::array<PreviewLane, 128> lanes;
};

// Brings `notes` up to date for `song`.
void PreparePreviewNotes(PreviewNotes& notes, const std::shared_ptr<const EventList>& song);

// Draws the preview at song time `now` (ms). Each lane costs a few tree
// look-ups per run of one colour, however many notes the song has.
void PaintNotePreview(StatusFrame& frame, const PreviewNotes& notes, uint32_t now);

// The green of a note's bar: the low 8 bits of trunc(255 x level).
int PreviewGreen(double level);

}  // namespace tavolin
