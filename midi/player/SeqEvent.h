#pragma once
// The loaded song in memory: one merged list of events for all tracks,
// ordered by time in milliseconds from the start of the song.

#include <cstdint>
#include <vector>

namespace tavolin {

// ChannelMessage appears only in lists read for live input (ConvertSmfMessages):
// key = status | data1 << 8 | data2 << 16, as the file holds it.
enum SeqEventType : uint32_t { NoteOn = 0, NoteOff = 1, Tempo = 2, Bend = 3, Volume = 4, ChannelMessage = 5 };

struct SeqEvent {
  uint32_t type = NoteOn;
  uint32_t time = 0;     // while converting: ticks; once installed: milliseconds
  uint32_t channel = 0;  // 0..15 (not set for Tempo)
  uint32_t key = 0;      // note number; for Tempo, microseconds per quarter note
  double level = 0.0;    // NoteOn: 0..127, a whole number
  double value = 0.0;    // Bend: semitones; Volume: factor 0..1
};

// Events in list order: an event's successor is the one stored after it, so
// a position in the list is an index.
using EventList = std::vector<SeqEvent>;

}  // namespace tavolin
