#pragma once
// What loading a song asks of the main window: the title bar shows the
// progress, errors go to a message box, pending window events are handled
// while a long conversion runs, and holding Escape cuts it short. The GUI
// implements it with Qt, the offline renderer with stderr.

#include <string_view>

namespace tavolin {

class SongReporter {
 public:
  virtual ~SongReporter() = default;
  // Any thread; never waits for the window thread.
  virtual void SetTitle(std::string_view title) = 0;
  // Any thread; never waits for the window thread (off it, the box is posted).
  virtual void ShowError(std::string_view text, std::string_view caption) = 0;
  // Handles the window thread's pending events; does nothing on other threads.
  virtual void PumpEvents() = 0;
  // True while the Escape key is held down.
  virtual bool EscapeHeld() = 0;
};

// Shows and handles nothing: before a window exists, and in tests.
SongReporter& QuietSongReporter();

}  // namespace tavolin
