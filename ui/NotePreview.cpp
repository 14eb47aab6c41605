#include "ui/NotePreview.h"

#include <algorithm>

#include "synth/RenderNumerics.h"

namespace tavolin {

namespace {

constexpr uint32_t kSpanMs = 5000;
constexpr int kLeft = 640;
constexpr int kWidth = 500;
constexpr int kLaneBase = 640;
constexpr int kLaneHeight = 3;
constexpr uint32_t kChannels = 16;
constexpr uint32_t kKeys = 128;
const QColor kLitLane(32, 32, 32);

void BuildTree(PreviewLane& lane) {
  size_t base = 1;
  while (base < lane.notes.size()) base *= 2;
  lane.leafBase = base;
  lane.latestEnd.assign(2 * base, 0);
  for (size_t i = 0; i < lane.notes.size(); ++i) lane.latestEnd[base + i] = lane.notes[i].end;
  for (size_t i = base; i-- > 1;) lane.latestEnd[i] = std::max(lane.latestEnd[2 * i], lane.latestEnd[2 * i + 1]);
}

// Notes among the first `count` whose start is below `time` (starts go up).
size_t StartingBefore(const PreviewLane& lane, size_t count, uint32_t time) {
  const auto begin = lane.notes.begin();
  return static_cast<size_t>(std::partition_point(begin, begin + static_cast<ptrdiff_t>(count),
                                                  [time](const PreviewLane::Note& n) { return n.start < time; }) -
                             begin);
}

// One lane: the bar of the last note (in list order) covering each pixel,
// over the grey of the last note sounding now, which hides every bar drawn
// before it. Pixel x shows the notes sounding at now + 10 (x + 1).
void PaintLane(StatusFrame& frame, const PreviewLane& lane, int top, uint32_t now) {
  const uint32_t horizon = now + kSpanMs;
  const size_t shown = StartingBefore(lane, lane.notes.size(), horizon);
  if (shown == 0) return;
  const ptrdiff_t lit = lane.LastEndingFrom(StartingBefore(lane, shown, now), now);
  if (lit >= 0) frame.Fill(QRectF(kLeft, top, kWidth, kLaneHeight), kLitLane);
  int x = 0;
  while (x < kWidth) {
    const uint32_t at = now + 10 * static_cast<uint32_t>(x + 1);
    const size_t started = StartingBefore(lane, shown, at);
    const int nextStart = started < shown ? static_cast<int>((lane.notes[started].start - now) / 10) : kWidth;
    const ptrdiff_t shownNote = lane.LastEndingFrom(started, at);
    if (shownNote < 0 || shownNote < lit) {
      x = std::min(nextStart, kWidth);
      continue;
    }
    const PreviewLane::Note& note = lane.notes[static_cast<size_t>(shownNote)];
    const int end = std::min({static_cast<int>((std::min(note.end, horizon) - now) / 10), nextStart, kWidth});
    frame.Fill(QRectF(kLeft + x, top, end - x, kLaneHeight), QColor(0, note.green, 0));
    x = end;
  }
}

}  // namespace

ptrdiff_t PreviewLane::LastEndingFrom(size_t count, uint32_t time) const {
  if (count == 0) return -1;
  // Down the tree from the root, right side first, inside [0, count).
  struct Step {
    size_t node, lo, hi;
  };
  Step stack[64];
  int depth = 0;
  stack[depth++] = {1, 0, leafBase};
  while (depth > 0) {
    const Step s = stack[--depth];
    if (s.lo >= count || latestEnd[s.node] < time) continue;
    if (s.hi - s.lo == 1) return static_cast<ptrdiff_t>(s.lo);
    const size_t mid = (s.lo + s.hi) / 2;
    stack[depth++] = {2 * s.node, s.lo, mid};
    stack[depth++] = {2 * s.node + 1, mid, s.hi};
  }
  return -1;
}

void PreparePreviewNotes(PreviewNotes& notes, const std::shared_ptr<const EventList>& song) {
  if (notes.song == song) return;
  notes.song = song;
  for (PreviewLane& lane : notes.lanes) lane = PreviewLane{};
  notes.inOrder = song && std::is_sorted(song->begin(), song->end(),
                                         [](const SeqEvent& a, const SeqEvent& b) { return a.time < b.time; });
  if (!notes.inOrder) return;
  const EventList& events = *song;
  // Backwards, remembering the next NoteOff of every channel and key.
  std::array<std::array<uint32_t, kKeys>, kChannels> nextOff{};
  std::array<std::array<bool, kKeys>, kChannels> hasOff{};
  for (size_t i = events.size(); i-- > 0;) {
    const SeqEvent& e = events[i];
    if (e.channel >= kChannels || e.key >= kKeys) continue;
    if (e.type == NoteOff) {
      nextOff[e.channel][e.key] = e.time;
      hasOff[e.channel][e.key] = true;
    } else if (e.type == NoteOn) {
      const uint32_t end = hasOff[e.channel][e.key] ? nextOff[e.channel][e.key] : e.time;
      notes.lanes[e.key].notes.push_back({e.time, end, PreviewGreen(e.level)});
    }
  }
  for (PreviewLane& lane : notes.lanes) {
    std::reverse(lane.notes.begin(), lane.notes.end());
    BuildTree(lane);
  }
}

int PreviewGreen(double level) { return TruncToInt32(255.0 * level) & 0xFF; }

void PaintNotePreview(StatusFrame& frame, const PreviewNotes& notes, uint32_t now) {
  if (!notes.song || !notes.inOrder) return;
  for (uint32_t key = 0; key < kKeys; ++key) {
    const PreviewLane& lane = notes.lanes[key];
    if (!lane.notes.empty()) PaintLane(frame, lane, kLaneBase - kLaneHeight * static_cast<int>(key), now);
  }
}

}  // namespace tavolin
