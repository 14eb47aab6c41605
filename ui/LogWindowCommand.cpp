#include "ui/LogWindowCommand.h"

#include <QSocketNotifier>

namespace tavolin {

LogWindowCommand::LogWindowCommand(QWidget* owner) : QObject(owner), owner_(owner) {
  if (ring_.DoorbellFd() >= 0) {
    notifier_ = new QSocketNotifier(ring_.DoorbellFd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LogWindowCommand::OnDoorbell);
  }
}

LogWindowCommand::~LogWindowCommand() {
  ring_.Close();
  delete notifier_;  // before the ring closes the descriptor it watches
}

void LogWindowCommand::Toggle() {
  // A window closed by its close box is gone for Shift+L even before Qt has
  // deleted it.
  if (window_ && window_->isVisible()) {
    LogWindow* open = window_;
    window_.clear();
    ring_.Close();
    open->close();  // deletes itself
    return;
  }
  auto* window = new LogWindow(owner_);
  window_ = window;
  // The close box ends here too: logging stops with the window, unless a
  // newer window has taken its place meanwhile. The window is told apart by
  // its number, not through window_: while `destroyed` is sent, the object is
  // no longer a LogWindow, and window_ would convert it to one.
  const uint64_t number = ++windowsOpened_;
  connect(window, &QObject::destroyed, this, [this, number] {
    if (number == windowsOpened_) ring_.Close();
  });
  ring_.Open();
  window->show();
}

// One batch per doorbell, however many messages came: the list is laid out
// and scrolled once.
void LogWindowCommand::OnDoorbell() {
  QStringList lines;
  const uint64_t dropped =
      ring_.Drain([&lines](const MidiLogEntry& e) { lines.append(LogLineText(e.status, e.data1, e.data2)); });
  if (dropped != 0) lines.append(QString("(%1 messages not shown)").arg(dropped));
  if (window_) window_->AppendLines(lines);
}

}  // namespace tavolin
