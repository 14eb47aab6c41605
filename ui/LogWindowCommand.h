#pragma once
// Shift+L on the main window: opens the log window, or closes the open one.
// Owns the sink that MIDI input logs into; the sink lives as long as the
// main window, so a message that arrives after the log window has gone is
// dropped, never sent to a destroyed window.

#include <QObject>
#include <QPointer>
#include <cstdint>

#include "midi/input/MidiLogRing.h"
#include "ui/LogWindow.h"

class QSocketNotifier;

namespace tavolin {

class LogWindowCommand final : public QObject {
  Q_OBJECT

 public:
  explicit LogWindowCommand(QWidget* owner);
  ~LogWindowCommand() override;

  void Toggle();
  // The sink for MIDI input: valid for this object's lifetime, whether the
  // log window is open or not (closed, it drops every message).
  MidiLogSink* Sink() { return &ring_; }
  LogWindow* Window() const { return window_.data(); }

 private:
  void OnDoorbell();

  QWidget* owner_;
  MidiLogRing ring_;
  QSocketNotifier* notifier_ = nullptr;
  QPointer<LogWindow> window_;
  uint64_t windowsOpened_ = 0;
};

}  // namespace tavolin
