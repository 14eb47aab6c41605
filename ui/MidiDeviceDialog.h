#pragma once
// The modal dialog in which the user picks the MIDI input port: an unsorted
// list (line k is port k), OK and Cancel. OK without a selection does
// nothing; Cancel, Escape and the close box end it with 0.

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace tavolin {

class MidiDeviceDialog : public QDialog {
  Q_OBJECT

 public:
  MidiDeviceDialog(const std::vector<std::string>& lines, QWidget* parent);

  QListWidget* List() const { return list_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void Ok();

  QListWidget* list_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// Runs the dialog: 0 when cancelled, k when line k - 1 was chosen.
int AskMidiInputLine(const std::vector<std::string>& lines, QWidget* parent);

}  // namespace tavolin
