#pragma once
#include <QWidget>
#include <functional>
#include <memory>

#include "midi/player/LoadTurns.h"
#include "ui/KeyAutoRepeat.h"
#include "ui/MouseBend.h"
#include "ui/StatusDisplay.h"
#include "ui/WindowState.h"

namespace tavolin {

struct Player;
class Recorder;
class RecordingCommand;
class LogWindowCommand;
class MidiLogSink;
class SawUnisonDialog;
class MidiInPort;
class MidiInputCommand;

// Everything the window works on once the engine runs, handed over in one
// piece so that no key command can be left unconnected.
struct WindowLinks {
  EngineLinks engine;
  Player& player;         // the player keys and dropped files
  Recorder& recorder;     // Shift+W
  MidiInPort& midiInput;  // Shift+M and the status line's MIDI-IN state
};

// The main window: no menus, every command is a key; the whole client area
// is painted by the window itself.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = kStatusWidth;
  static constexpr int kClientHeight = kStatusHeight;

  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Links the window to the running engine and connects every key command.
  // Until then the window stays black and the keys do nothing. Once only.
  void Attach(const WindowLinks& links);
  MidiInputCommand* MidiInput() const { return midiInput_.get(); }
  WindowState* State() { return state_.get(); }

  // Where MIDI input logs each short message: valid as long as this window,
  // it shows the messages while the log window (Shift+L) is open and drops
  // them while it is closed. Called on the MIDI input thread.
  MidiLogSink* LogWindowSink();
  LogWindowCommand* LogWindows() { return logWindow_; }
  SawUnisonDialog* SawUnison() { return sawUnison_; }
  KeyAutoRepeat& KeyRepeat() { return keyRepeat_; }

  // Where the live modifier and button state and the screen cursor come
  // from (tests replace the system's).
  void SetLiveInputSource(std::function<LiveInputs()> source) { liveInputs_ = std::move(source); }
  void SetCursorPort(CursorPort* cursor) { cursor_ = cursor; }

  // Takes a new picture of the status display and repaints what changed.
  void RefreshStatus();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Every key hook, set in this one place.
  void ConnectKeys();
  void ReleaseKey(uint8_t vk);

  Player* player_ = nullptr;
  LoadTurns loads_;                        // songs and the modulator: one load at a time
  RecordingCommand* recording_ = nullptr;  // a child of the window
  LogWindowCommand* logWindow_;            // a child of the window
  SawUnisonDialog* sawUnison_;             // a child of the window
  std::unique_ptr<MidiInputCommand> midiInput_;
  std::unique_ptr<WindowState> state_;
  KeyAutoRepeat keyRepeat_{[this](uint8_t vk) { ReleaseKey(vk); }};
  std::function<LiveInputs()> liveInputs_;
  std::unique_ptr<CursorPort> systemCursor_;
  CursorPort* cursor_ = nullptr;
};

}  // namespace tavolin
