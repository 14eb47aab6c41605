#include "platform/MidiInPort.h"

#include <rtmidi/RtMidi.h>

#include <exception>

#include "platform/MidiSources.h"

namespace tavolin {

namespace {

// A client of its own name: on JACK, sharing the sound output's "Tavolin"
// would have the server rename whichever came second, and the port's name
// would depend on the output chosen.
constexpr const char* kClientName = kMidiInputClient;
constexpr const char* kPortName = kMidiInputPort;

// The library does not fall back by itself: without a sequencer device its
// ALSA back-end throws, so JACK is asked instead.
std::unique_ptr<RtMidiIn> MakeInput() {
  if (AlsaSequencerPresent()) {
    try {
      return std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
    } catch (const std::exception&) {
      // JACK may still work.
    }
  }
  return std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, kClientName);
}

}  // namespace

MidiInPort::MidiInPort(Handler handler, void* context) : handler_(handler), context_(context) {}

MidiInPort::~MidiInPort() { Close(); }

std::vector<std::string> MidiInPort::ListPorts() {
  std::vector<std::string> lines;
  try {
    auto lister = MakeInput();
    // The count is asked again for every port, since ports come and go.
    for (unsigned int i = 0; i < lister->getPortCount(); ++i) lines.push_back(lister->getPortName(i));
  } catch (const std::exception&) {
    // No MIDI system: only the virtual line, which will say why when chosen.
  }
  lines.emplace_back(kVirtualLine);
  return lines;
}

bool MidiInPort::Open(size_t line, const std::string& name, std::string& error) {
  Close();
  try {
    auto input = MakeInput();
    const unsigned int count = input->getPortCount();
    const bool isVirtual = name == kVirtualLine;
    if (!isVirtual && (line >= count || input->getPortName(static_cast<unsigned int>(line)) != name)) {
      error = "The MIDI input \"" + name + "\" is no longer there.";
      return false;
    }
    input->ignoreTypes(true, false, false);  // all but system exclusive
    input->setCallback(
        [](double, std::vector<unsigned char>* message, void* self) {
          auto& port = *static_cast<MidiInPort*>(self);
          port.handler_(port.context_, message->data(), message->size());
        },
        this);
    if (isVirtual) {
      input->openVirtualPort(kPortName);
    } else {
      input->openPort(static_cast<unsigned int>(line), kPortName);
    }
    input_ = std::move(input);
    return true;
  } catch (const std::exception& e) {
    error = "The MIDI input \"" + name + "\" could not be opened: " + e.what();
    return false;
  }
}

void MidiInPort::Close() {
  // Destroying the input closes the port and joins its thread (closePort
  // alone leaves a virtual port open).
  input_.reset();
}

std::optional<size_t> FindPortLine(const std::vector<std::string>& lines, std::string_view wanted) {
  if (wanted == "virtual") return lines.empty() ? std::nullopt : std::optional<size_t>(lines.size() - 1);
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].find(wanted) != std::string::npos) return i;
  }
  return std::nullopt;
}

}  // namespace tavolin
