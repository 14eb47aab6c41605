#pragma once
// The live keyboard and mouse state as Qt has it, for the key commands and
// the status display, and the screen cursor for the mouse drags.

#include "ui/MouseBend.h"
#include "ui/StatusDisplay.h"

namespace tavolin {

// Shift and Ctrl from the live keyboard state (the state carried by events
// was seen to lag on X11), the mouse buttons as last reported.
LiveInputs ReadLiveInputs();

class QtCursorPort final : public CursorPort {
 public:
  ScreenPoint Position() override;
  void MoveTo(ScreenPoint point) override;
};

}  // namespace tavolin
