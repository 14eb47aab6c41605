#include "ui/KeyboardReturn.h"

namespace tavolin {

void ReturnKeyboard(QWidget* window) {
  if (!window) return;
  window->activateWindow();
  window->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace tavolin
