#include "ui/MainWindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

#include "platform/Keys.h"
#include "ui/LogWindowCommand.h"
#include "ui/MidiInputCommand.h"
#include "ui/PlayerCommands.h"
#include "ui/QtLiveInput.h"
#include "ui/RecordingCommand.h"
#include "ui/SawUnisonDialog.h"
#include "ui/VocoderCommands.h"

namespace tavolin {

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent), logWindow_(new LogWindowCommand(this)), sawUnison_(new SawUnisonDialog(this)) {
  setObjectName("TAVOMainWnd");
  setWindowTitle("Tavolin - Tavo/the synthesizer test");
  // The window paints every pixel itself: no background erase before a paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(kClientWidth, kClientHeight);
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  liveInputs_ = ReadLiveInputs;
  systemCursor_ = std::make_unique<QtCursorPort>();
  cursor_ = systemCursor_.get();
}

MainWindow::~MainWindow() = default;

MidiLogSink* MainWindow::LogWindowSink() { return logWindow_->Sink(); }

void MainWindow::Attach(const WindowLinks& links) {
  player_ = &links.player;
  recording_ = new RecordingCommand(links.recorder, this);
  midiInput_ = std::make_unique<MidiInputCommand>(links.midiInput, this);
  state_ = std::make_unique<WindowState>(links.engine);
  sawUnison_->Attach(links.engine.synth);
  ConnectKeys();
}

void MainWindow::ConnectKeys() {
  Player& player = *player_;
  ModulatorHandOff& modulator = state_->links.modulator;
  MidiInputCommand& midiInput = *midiInput_;
  KeyHooks& hooks = state_->hooks;
  hooks.openMidiFile = [this, &player] { OpenMidiFileCommand(player, loads_, this); };
  hooks.closeMidiFile = [&player] { CloseMidiFileCommand(player); };
  hooks.playSong = [&player] { PlaySongCommand(player); };
  hooks.stopSong = [&player] { StopSongCommand(player); };
  hooks.skipAhead = [&player] { SkipAheadCommand(player); };
  hooks.nextPlaylistFile = [this, &player] { NextPlaylistFileCommand(player, loads_); };
  hooks.openVocoderWave = [this, &modulator] { OpenVocoderWave(modulator, loads_, this); };
  hooks.startVocoder = [&modulator] { modulator.Start(); };
  hooks.showSawUnisonDialog = [this](bool visible) {
    if (visible)
      sawUnison_->ShowBeside(this);
    else
      sawUnison_->hide();
  };
  hooks.toggleRecording = [recording = recording_] { recording->Toggle(); };
  hooks.toggleLogWindow = [this] { logWindow_->Toggle(); };
  hooks.toggleMidiInput = [this, &midiInput] {
    midiInput.Toggle();
    RefreshStatus();  // the status line's MIDI-IN state
  };
  state_->midiInputOpen = [&midiInput] { return midiInput.IsOpen(); };
}

void MainWindow::RefreshStatus() {
  if (!state_) return;
  const QRegion changed = tavolin::RefreshStatus(state_->Sources(player_), state_->status, liveInputs_());
  if (!changed.isEmpty()) update(changed);
}

// The picture is drawn into the window's backing store, an off-screen image
// that reaches the screen in one piece; a second image of our own would only
// add a copy of the whole window to every repaint. Only the part Qt asks for
// is drawn: a refresh asks for what changed, an expose for what was hidden.
void MainWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (!state_) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  if (state_->status.shown.Empty()) tavolin::RefreshStatus(state_->Sources(player_), state_->status, liveInputs_());
  PaintShownStatus(painter, state_->status, event->region());
}

// A held key repeats its press: every press is a key-down, as the key tables
// expect, and only the real release is a key-up.
void MainWindow::keyPressEvent(QKeyEvent* event) {
  const uint8_t vk = VirtualKeyOf(*event);
  keyRepeat_.Press(vk, event->timestamp());
  if (!state_ || vk == 0 || IsSystemKeyPress(*event)) return QWidget::keyPressEvent(event);
  const LiveInputs live = liveInputs_();
  KeyContext keys = state_->Keys();
  KeyDown(keys, vk, live.shift, live.ctrl);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  const uint8_t vk = VirtualKeyOf(*event);
  if (!state_ || vk == 0) {
    keyRepeat_.Settle();
    return QWidget::keyReleaseEvent(event);
  }
  keyRepeat_.Release(vk, event->timestamp());
}

void MainWindow::ReleaseKey(uint8_t vk) {
  if (!state_) return;
  KeyContext keys = state_->Keys();
  KeyUp(keys, vk);
}

// Key-ups that go to another window would leave the piano's notes sounding.
void MainWindow::focusOutEvent(QFocusEvent* event) {
  if (state_) {
    KeyContext keys = state_->Keys();
    ReleasePianoNotes(keys);
  }
  QWidget::focusOutEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  if (!state_) return QWidget::mousePressEvent(event);
  if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) BeginDrag(state_->drag, *cursor_);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!state_) return QWidget::mouseMoveEvent(event);
  const Qt::MouseButtons buttons = event->buttons();
  if (DragMove(state_->drag, state_->links.synth, state_->links.master, buttons.testFlag(Qt::LeftButton),
               buttons.testFlag(Qt::RightButton), state_->links.clock.Milliseconds(), *cursor_)) {
    RefreshStatus();
  }
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (!state_) return QWidget::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  const Qt::MouseButtons left = event->buttons() & (Qt::LeftButton | Qt::RightButton);
  EndDrag(state_->drag, state_->links.synth, left != Qt::NoButton, *cursor_);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (player_ && !FirstDroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = FirstDroppedFile(event->mimeData());
  if (!player_ || path.isEmpty()) return;
  event->acceptProposedAction();
  // The drop ends before the file is converted, so its source is not held up.
  const bool shiftHeld = event->modifiers().testFlag(Qt::ShiftModifier);
  QMetaObject::invokeMethod(
      this, [this, path, shiftHeld] { LoadDroppedFile(*player_, loads_, path, shiftHeld); }, Qt::QueuedConnection);
}

}  // namespace tavolin
