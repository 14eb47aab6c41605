#include "ui/MidiInputCommand.h"

#include <QMessageBox>
#include <QWidget>

#include "platform/MidiInPort.h"
#include "ui/MidiDeviceDialog.h"

namespace tavolin {

namespace {
void TellFailure(QWidget* window, const std::string& text) {
  QMessageBox::warning(window, "MIDI IN", QString::fromStdString(text));
}
}  // namespace

void MidiInputCommand::Toggle() {
  if (port_.IsOpen()) {
    port_.Close();
  } else {
    const auto lines = port_.ListPorts();
    const int choice = AskMidiInputLine(lines, window_);
    if (choice > 0) Open(static_cast<size_t>(choice - 1), lines[static_cast<size_t>(choice - 1)]);
  }
}

void MidiInputCommand::OpenByName(const std::string& wanted) {
  const auto lines = port_.ListPorts();
  const auto line = FindPortLine(lines, wanted);
  if (!line) {
    TellFailure(window_, "No MIDI input port contains \"" + wanted + "\".");
    return;
  }
  Open(*line, lines[*line]);
}

bool MidiInputCommand::IsOpen() const { return port_.IsOpen(); }

void MidiInputCommand::Open(size_t line, const std::string& name) {
  std::string error;
  if (!port_.Open(line, name, error)) TellFailure(window_, error);
}

}  // namespace tavolin
