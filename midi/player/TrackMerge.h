#pragma once
// Merging the tracks of a MIDI file into one list by tick time.

#include <vector>

#include "midi/player/SeqEvent.h"

namespace tavolin {

// The events of one track in file order; `time` holds the track's tick sum,
// an unsigned 32-bit count that wraps.
using TrackEvents = std::vector<SeqEvent>;

// The tracks merged as if each event, track after track, were linked into
// one growing list: starting after the track's previous event (at the
// list's front for its first), after every following event whose time is
// at or before its own, or at the very front when the first of them is
// already later. Events come out by time; at equal times earlier tracks
// first; within a track in file order. A track whose ticks wrap starts
// again from the front at each wrap. Cost N log T; the tracks are consumed.
EventList MergeTracks(std::vector<TrackEvents>& tracks);

}  // namespace tavolin
