#pragma once
// The main window keeps the keyboard, so that the piano keys always play.
// Without a window manager nobody gives it back when a dialog closes: the X
// server then leaves it with the root window, and no key reaches the program.

#include <QPointer>
#include <QWidget>

namespace tavolin {

// Activates the window and gives it the keyboard focus.
void ReturnKeyboard(QWidget* window);

// Gives the keyboard back to the window when the scope ends: put before a
// dialog is run, it covers every way out.
class ReturnKeyboardOnExit {
 public:
  explicit ReturnKeyboardOnExit(QWidget* window) : window_(window) {}
  ReturnKeyboardOnExit(const ReturnKeyboardOnExit&) = delete;
  ReturnKeyboardOnExit& operator=(const ReturnKeyboardOnExit&) = delete;
  ~ReturnKeyboardOnExit() { ReturnKeyboard(window_); }

 private:
  QPointer<QWidget> window_;
};

}  // namespace tavolin
