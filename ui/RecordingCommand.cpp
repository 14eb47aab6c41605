#include "ui/RecordingCommand.h"

#include <QFileDialog>
#include <QWidget>

#include "audio/Recorder.h"
#include "ui/KeyboardReturn.h"

namespace tavolin {

namespace {
constexpr int kWatchMs = 250;
}  // namespace

QString AskRecordingFile(QWidget* window) {
  const ReturnKeyboardOnExit keyboardBack(window);
  // Both spellings: the filters of Linux dialogs tell case apart.
  return QFileDialog::getSaveFileName(window, "Save WAVE file for RecordingOutput...", QString(),
                                      "WAVE FILE (*.wav *.WAV)", nullptr, QFileDialog::DontConfirmOverwrite);
}

RecordingCommand::RecordingCommand(Recorder& recorder, QWidget* window)
    : QObject(window), recorder_(recorder), window_(window) {
  watch_.setInterval(kWatchMs);
  connect(&watch_, &QTimer::timeout, this, &RecordingCommand::Watch);
}

void RecordingCommand::Toggle() {
  if (recorder_.Recording()) {
    recorder_.Stop();
    watch_.stop();
    return;
  }
  // The audio plays on while the dialog is open; nothing is recorded yet.
  const QString path = AskRecordingFile(window_);
  if (path.isEmpty()) return;
  if (recorder_.Start(path.toStdString())) watch_.start();
}

void RecordingCommand::Watch() {
  recorder_.CheckEnded();
  if (!recorder_.Recording()) watch_.stop();
}

}  // namespace tavolin
