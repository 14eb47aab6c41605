#include "ui/NotePreview.h"

#include <algorithm>
#include <array>

#include "synth/RenderNumerics.h"

namespace tavolin {

namespace {

constexpr uint32_t kSpanMs = 5000;
constexpr int kLeft = 640;
constexpr int kRight = 1140;
constexpr int kLaneBase = 640;
constexpr int kLaneHeight = 3;
constexpr uint32_t kChannels = 16;
constexpr uint32_t kKeys = 128;

// A rectangle from (left, top) up to, not including, (right, bottom).
void Fill(QPainter& painter, int left, int top, int right, int bottom, QColor colour) {
  if (right > left && bottom > top) painter.fillRect(left, top, right - left, bottom - top, colour);
}

}  // namespace

void PrepareNoteEnds(NoteEnds& ends, const std::shared_ptr<const EventList>& song) {
  if (ends.song == song) return;
  ends.song = song;
  ends.end.clear();
  if (!song) return;
  const EventList& events = *song;
  ends.end.resize(events.size());
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
      ends.end[i] = hasOff[e.channel][e.key] ? nextOff[e.channel][e.key] : e.time;
    }
  }
}

int PreviewGreen(double level) { return TruncToInt32(255.0 * level) & 0xFF; }

void PaintNotePreview(QPainter& painter, const NoteEnds& ends, uint32_t now) {
  if (!ends.song) return;
  const EventList& events = *ends.song;
  const uint32_t horizon = now + kSpanMs;
  for (size_t i = 0; i < events.size(); ++i) {
    const SeqEvent& e = events[i];
    if (e.time >= horizon) break;
    if (e.type != NoteOn || e.channel >= kChannels || e.key >= kKeys) continue;
    const uint32_t end = ends.end[i];
    if (end < now) continue;  // over
    const uint32_t s = std::max(e.time, now);
    const uint32_t t = std::min(end, horizon);
    const int top = kLaneBase - kLaneHeight * static_cast<int>(e.key);
    if (e.time < now) Fill(painter, kLeft, top, kRight, top + kLaneHeight, QColor(32, 32, 32));
    Fill(painter, kLeft + static_cast<int>((s - now) / 10), top, kLeft + static_cast<int>((t - now) / 10),
         top + kLaneHeight, QColor(0, PreviewGreen(e.level), 0));
  }
}

}  // namespace tavolin
