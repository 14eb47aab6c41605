#pragma once
// What the engine's threads ask of the main window. The GUI implements it
// with Qt; tests and the offline renderer with plain recorders.

#include <string_view>

namespace tavolin {

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  // Any thread, the audio thread included: never blocks, never allocates.
  // Several requests before the window gets to paint make one repaint.
  virtual void RequestRepaint() = 0;
  // A modal error box with an error icon and an OK button. Called on the
  // window thread only.
  virtual void ShowError(std::string_view text, std::string_view caption) = 0;
  // A box that waits for no one: shown, and the caller goes on at once. The
  // same notice while its box is still open adds no second box. Window
  // thread only. Where errors never wait (a report on stderr), the
  // error path will do.
  virtual void ShowNotice(std::string_view text, std::string_view caption) { ShowError(text, caption); }
};

}  // namespace tavolin
