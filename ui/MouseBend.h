#pragma once
// Pitch bend by vertical mouse drags. The mouse is an endless relative
// controller: after every step the cursor goes back to where the button went
// down, so the next step measures fresh motion. Qt-free; the window supplies
// the cursor.

#include <cstdint>

#include "audio/MasterChain.h"
#include "synth/Synth.h"

namespace tavolin {

struct ScreenPoint {
  int32_t x = 0;
  int32_t y = 0;
};

// The screen cursor, as the window system has it.
class CursorPort {
 public:
  virtual ~CursorPort() = default;
  virtual ScreenPoint Position() = 0;
  virtual void MoveTo(ScreenPoint point) = 0;
};

// Window thread only.
struct DragState {
  ScreenPoint DragAnchor;
  // Where the next step measures from: the anchor, unless the window system
  // refused to move the cursor back (Wayland), so that no motion counts twice.
  ScreenPoint measureFrom;
  uint32_t LastDragStep = 0;  // ms
  bool captured = false;      // the window holds the mouse
};

// A button went down: remember the cursor, take the mouse.
void BeginDrag(DragState& drag, CursorPort& cursor);

// The mouse moved. At most one step per 50 ms: the left button bends live
// voices (PitchBend, 0.002 semitone per pixel up), else the right button
// shifts all (PitchShift, 0.005). Returns true when the window is to be
// repainted (a step was taken while the display refresh is on).
bool DragMove(DragState& drag, Synth& synth, const MasterChain& master, bool leftDown, bool rightDown, uint32_t nowMs,
              CursorPort& cursor);

// A button came up: the mouse is let go; when no button is left down the
// bend springs back to 0.
void EndDrag(DragState& drag, Synth& synth, bool anyButtonDown, CursorPort& cursor);

}  // namespace tavolin
