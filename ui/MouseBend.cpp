#include "ui/MouseBend.h"

namespace tavolin {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
constexpr uint32_t kStepIntervalMs = 50;
constexpr double kBendPerPixel = 0.002;
constexpr double kShiftPerPixel = 0.005;

// One step on `offset` if 50 ms have passed since the last one.
bool TryStep(DragState& drag, std::atomic<double>& offset, double perPixel, uint32_t nowMs, CursorPort& cursor) {
  if (nowMs - drag.LastDragStep <= kStepIntervalMs) return false;
  const int32_t dy = cursor.Position().y - drag.measureFrom.y;
  offset.store(offset.load(relaxed) - dy * perPixel, relaxed);
  cursor.MoveTo(drag.DragAnchor);
  drag.measureFrom = cursor.Position();
  drag.LastDragStep = nowMs;
  return true;
}

}  // namespace

void BeginDrag(DragState& drag, CursorPort& cursor) {
  drag.DragAnchor = cursor.Position();
  drag.measureFrom = drag.DragAnchor;
  drag.captured = true;
}

bool DragMove(DragState& drag, Synth& synth, const MasterChain& master, bool leftDown, bool rightDown, uint32_t nowMs,
              CursorPort& cursor) {
  if (!drag.captured) return false;
  bool stepped = false;
  if (leftDown) stepped = TryStep(drag, synth.PitchBend, kBendPerPixel, nowMs, cursor) || stepped;
  if (rightDown) stepped = TryStep(drag, synth.PitchShift, kShiftPerPixel, nowMs, cursor) || stepped;
  return stepped && master.DisplayRefreshOn.load(relaxed) != 0;
}

void EndDrag(DragState& drag, Synth& synth, bool anyButtonDown, CursorPort& cursor) {
  if (!drag.captured) return;
  drag.captured = false;
  if (!anyButtonDown) {
    synth.PitchBend.store(0.0, relaxed);
    synth.PitchShift.store(0.0, relaxed);
  }
  cursor.MoveTo(drag.DragAnchor);
}

}  // namespace tavolin
