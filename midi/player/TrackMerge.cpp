#include "midi/player/TrackMerge.h"

#include <cstddef>
#include <cstdint>
#include <queue>

namespace tavolin {

namespace {

// A run of one track's events whose times do not go down. A run after a
// wrap is gated: its first event went to the front of everything linked
// before it, so no earlier run may give an event until that one is out.
struct Run {
  const SeqEvent* next;
  const SeqEvent* end;
  bool gated;
};

std::vector<Run> SplitIntoRuns(const std::vector<TrackEvents>& tracks) {
  std::vector<Run> runs;
  for (const TrackEvents& track : tracks) {
    const SeqEvent* begin = track.data();
    const SeqEvent* stop = begin + track.size();
    for (const SeqEvent* at = begin; at != stop;) {
      const SeqEvent* runEnd = at + 1;
      while (runEnd != stop && runEnd->time >= (runEnd - 1)->time) ++runEnd;
      runs.push_back(Run{at, runEnd, at != begin});
      at = runEnd;
    }
  }
  return runs;
}

}  // namespace

EventList MergeTracks(std::vector<TrackEvents>& tracks) {
  std::vector<Run> runs = SplitIntoRuns(tracks);
  size_t total = 0;
  for (const TrackEvents& track : tracks) total += track.size();

  // Candidates: the runs at or above the highest gate still closed, by the
  // time of their next event, then by their place in the file.
  auto later = [&runs](size_t a, size_t b) {
    const uint32_t ta = runs[a].next->time;
    const uint32_t tb = runs[b].next->time;
    return ta != tb ? ta > tb : a > b;
  };
  std::priority_queue<size_t, std::vector<size_t>, decltype(later)> candidates(later);
  size_t gate = runs.size();  // index of the highest closed gate; runs.size(): none
  for (size_t i = runs.size(); i-- > 0;) {
    if (runs[i].gated) {
      gate = i;
      break;
    }
  }
  size_t opened = gate == runs.size() ? 0 : gate;  // runs from here up are candidates
  for (size_t i = opened; i < runs.size(); ++i) candidates.push(i);

  EventList merged;
  merged.reserve(total);
  while (!candidates.empty()) {
    const size_t i = candidates.top();
    candidates.pop();
    Run& run = runs[i];
    merged.push_back(*run.next++);
    if (run.next != run.end) candidates.push(i);
    if (i != gate) continue;
    // The gate's first event is out: the runs below it up to the next gate join.
    size_t below = i;
    while (below > 0 && !runs[below - 1].gated) --below;
    gate = below > 0 ? below - 1 : runs.size();
    const size_t from = gate == runs.size() ? 0 : gate;
    for (size_t k = from; k < opened; ++k) candidates.push(k);
    opened = from;
  }
  tracks.clear();
  return merged;
}

}  // namespace tavolin
