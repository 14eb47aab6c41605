#pragma once
// Shift+M on the main window: with MIDI input off, the user picks a port in
// the device dialog and it is opened; with it on, it is closed. A port that
// fails to open leaves input off and the user is told why.

#include <string>

class QWidget;

namespace tavolin {

class MidiInPort;

class MidiInputCommand {
 public:
  MidiInputCommand(MidiInPort& port, QWidget* window) : port_(port), window_(window) {}

  void Toggle();
  // Opens the first port whose name contains `wanted` ("virtual": our own
  // virtual port), as if it had been chosen in the dialog.
  void OpenByName(const std::string& wanted);
  bool IsOpen() const;

 private:
  void Open(size_t line, const std::string& name);

  MidiInPort& port_;
  QWidget* window_;
};

}  // namespace tavolin
