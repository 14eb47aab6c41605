#pragma once
// One MIDI system's sources and our input port on it, as the source
// connector sees them. Sources are named as the MIDI input lists them.

#include <memory>
#include <string>
#include <vector>

namespace tavolin {

class MidiSources {
 public:
  virtual ~MidiSources() = default;

  // Looks for our input port again; false while it is not there.
  virtual bool FindInput() = 0;
  // The sources there now, our input left out.
  virtual std::vector<std::string> List() = 0;
  // Whether `source`, of the last List, feeds our input.
  virtual bool IsConnected(const std::string& source) = 0;
  // Connects `source`, of the last List, to our input.
  virtual bool Connect(const std::string& source) = 0;
};

// The MIDI input and the connector take the ALSA sequencer when this holds.
bool AlsaSequencerPresent();

// Null with the reason in `error`.
std::unique_ptr<MidiSources> OpenJackMidiSources(std::string& error);
std::unique_ptr<MidiSources> OpenAlsaMidiSources(std::string& error);

// Names of our input, as MidiInPort opens it.
inline constexpr const char* kMidiInputClient = "Tavolin-MIDI";
inline constexpr const char* kMidiInputPort = "MIDI in";

}  // namespace tavolin
