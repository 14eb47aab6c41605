#pragma once
// Shift+W on the main window: the first press asks for a file in the save
// dialog and starts recording into it, the next press stops. While a
// recording runs, a timer looks whether it has ended by itself (a full disk,
// the 4 GB limit of a WAVE file), so the user is told without pressing a key.

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace tavolin {

class Recorder;

// The save dialog: the chosen path, or an empty string when cancelled.
// An existing file is replaced without a question; a name typed without
// ".wav" is used as typed.
QString AskRecordingFile(QWidget* window);

class RecordingCommand : public QObject {
  Q_OBJECT

 public:
  RecordingCommand(Recorder& recorder, QWidget* window);
  void Toggle();

 private:
  void Watch();

  Recorder& recorder_;
  QWidget* window_;
  QTimer watch_;
};

}  // namespace tavolin
