#pragma once
// Keeps every MIDI source whose name matches a pattern connected to our MIDI
// input, sources that appear later included: a keyboard plugged in again is
// connected again. Works on the MIDI system the input uses. Polled by one
// thread (not the audio thread); starts no threads of its own.

#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace tavolin {

class MidiSources;

struct MidiSourceEvent {
  enum class Kind { kConnected, kLost };
  Kind kind;
  std::string source;
  bool operator==(const MidiSourceEvent&) const = default;
};

class MidiSourceConnector {
 public:
  // `pattern` is searched for in each source's name (ECMAScript). Null with
  // the reason in `error` when it is not a pattern or there is no MIDI system.
  static std::unique_ptr<MidiSourceConnector> Open(const std::string& pattern, std::string& error);

  MidiSourceConnector(std::unique_ptr<MidiSources> sources, std::regex pattern);
  ~MidiSourceConnector();
  MidiSourceConnector(const MidiSourceConnector&) = delete;
  MidiSourceConnector& operator=(const MidiSourceConnector&) = delete;

  // Connects the matching sources that are not yet connected and says what
  // changed since the last poll. Before our input is there it connects
  // nothing. Blocks only as long as the MIDI system's own calls.
  std::vector<MidiSourceEvent> Poll();

 private:
  std::unique_ptr<MidiSources> sources_;
  std::regex pattern_;
  std::set<std::string> connected_;
};

}  // namespace tavolin
