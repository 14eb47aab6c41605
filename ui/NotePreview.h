#pragma once
// The five-second preview of the song's coming notes: one 3-pixel lane per
// note number, x 640 (now) to 1140 (now + 5 s) at 10 ms per pixel.

#include <QPainter>
#include <cstdint>
#include <memory>
#include <vector>

#include "midi/player/SeqEvent.h"

namespace tavolin {

// The end of every note of one song, worked out once per song: the time of
// the first later NoteOff with the same channel and key (the note's own time
// when there is none). Keeps the song it belongs to alive.
struct NoteEnds {
  std::shared_ptr<const EventList> song;
  std::vector<uint32_t> end;  // by event index; used for NoteOn events only
};

// Brings `ends` up to date for `song`.
void PrepareNoteEnds(NoteEnds& ends, const std::shared_ptr<const EventList>& song);

// Draws the preview of `ends.song` at song time `now` (ms).
void PaintNotePreview(QPainter& painter, const NoteEnds& ends, uint32_t now);

// The green of a note's bar: the low 8 bits of trunc(255 x level).
int PreviewGreen(double level);

}  // namespace tavolin
