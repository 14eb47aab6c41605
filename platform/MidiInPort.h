#pragma once
// MIDI input from the system: the ALSA sequencer where there is one, JACK
// otherwise, plus a virtual input port of our own that other programs can
// connect to. Every short message reaches the handler on the MIDI library's
// thread (system exclusive is dropped). Window thread only, apart from the
// handler. The input is the client "Tavolin-MIDI" with the port "MIDI in"
// (on JACK: "Tavolin-MIDI:MIDI in"), whatever the sound output.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RtMidiIn;

namespace tavolin {

class MidiInPort {
 public:
  // [MIDI thread] Must not wait for the window thread: closing the port
  // waits for the handler to return.
  using Handler = void (*)(void* context, const uint8_t* bytes, size_t count);

  // How the virtual port appears as the last line of the list.
  static constexpr std::string_view kVirtualLine = "Tavolin virtual input port";

  MidiInPort(Handler handler, void* context);
  ~MidiInPort();
  MidiInPort(const MidiInPort&) = delete;
  MidiInPort& operator=(const MidiInPort&) = delete;

  // The input ports in system order, then kVirtualLine.
  std::vector<std::string> ListPorts();

  // Opens line `line` of a list whose text there was `name`; ports may have
  // come or gone since the list was made, so a line that now names another
  // port is not opened. False with the reason in `error`.
  bool Open(size_t line, const std::string& name, std::string& error);

  // Stops the input; when it returns the handler is not running.
  void Close();
  bool IsOpen() const { return input_ != nullptr; }

 private:
  Handler handler_;
  void* context_;
  std::unique_ptr<RtMidiIn> input_;
};

// The line of `lines` to open for the command line's port choice: the first
// line that contains `wanted`, or the virtual port for "virtual".
std::optional<size_t> FindPortLine(const std::vector<std::string>& lines, std::string_view wanted);

}  // namespace tavolin
