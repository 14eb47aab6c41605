// The track merge against the plain list insertion it replaces, on random
// tracks whose tick sums wrap.

#include "midi/player/TrackMerge.h"

#include <gtest/gtest.h>

#include <random>

namespace tavolin {
namespace {

// Each event, track after track, linked in after every event at or before
// its time, searching from the track's previous event (the front for its
// first); at the front when the first one looked at is already later.
EventList LinkedInsertion(const std::vector<TrackEvents>& tracks) {
  constexpr size_t kNone = SIZE_MAX;
  std::vector<SeqEvent> events;
  std::vector<size_t> next;
  size_t head = kNone;
  for (const TrackEvents& track : tracks) {
    size_t from = kNone;
    for (const SeqEvent& e : track) {
      const size_t index = events.size();
      events.push_back(e);
      next.push_back(kNone);
      size_t last = kNone;
      for (size_t at = from == kNone ? head : from; at != kNone && events[at].time <= e.time; at = next[at]) last = at;
      if (last == kNone) {
        next[index] = head;
        head = index;
      } else {
        next[index] = next[last];
        next[last] = index;
      }
      from = index;
    }
  }
  EventList list;
  for (size_t at = head; at != kNone; at = next[at]) list.push_back(events[at]);
  return list;
}

TEST(TrackMerge, EqualsListInsertionAlsoWhenTicksWrap) {
  std::mt19937 random(7);
  // Small steps make ties; the large one wraps a track after a few events.
  const uint32_t steps[] = {0, 0, 1, 2, 5, 0x60000000u};
  for (int round = 0; round < 2000; ++round) {
    std::vector<TrackEvents> tracks(1 + random() % 6);
    for (uint32_t t = 0; t < tracks.size(); ++t) {
      uint32_t ticks = random() % 3;
      const uint32_t count = random() % 25;
      for (uint32_t i = 0; i < count; ++i) {
        ticks += steps[random() % std::size(steps)];
        tracks[t].push_back({.type = NoteOn, .time = ticks, .channel = t, .key = i});
      }
    }
    const EventList want = LinkedInsertion(tracks);
    const EventList got = MergeTracks(tracks);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_TRUE(got[i].channel == want[i].channel && got[i].key == want[i].key)
          << "round " << round << ", event " << i;
    }
  }
}

}  // namespace
}  // namespace tavolin
