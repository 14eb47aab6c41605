#include "platform/MidiSourceConnector.h"

#include <algorithm>
#include <utility>

#include "platform/MidiSources.h"

namespace tavolin {

std::unique_ptr<MidiSourceConnector> MidiSourceConnector::Open(const std::string& pattern, std::string& error) {
  std::regex compiled;
  try {
    compiled = std::regex(pattern, std::regex::ECMAScript);
  } catch (const std::regex_error& e) {
    error = "\"" + pattern + "\" is not a regular expression: " + e.what();
    return nullptr;
  }
  std::unique_ptr<MidiSources> sources;
  // As the input does: the sequencer first, JACK when it will not open.
  if (AlsaSequencerPresent()) sources = OpenAlsaMidiSources(error);
  if (!sources) sources = OpenJackMidiSources(error);
  if (!sources) return nullptr;
  return std::make_unique<MidiSourceConnector>(std::move(sources), std::move(compiled));
}

MidiSourceConnector::MidiSourceConnector(std::unique_ptr<MidiSources> sources, std::regex pattern)
    : sources_(std::move(sources)), pattern_(std::move(pattern)) {}

MidiSourceConnector::~MidiSourceConnector() = default;

std::vector<MidiSourceEvent> MidiSourceConnector::Poll() {
  std::vector<MidiSourceEvent> events;
  const bool inputThere = sources_->FindInput();
  const std::vector<std::string> present = inputThere ? sources_->List() : std::vector<std::string>{};
  // A source gone, or its connection removed, is forgotten so that it is
  // connected again when it is back.
  for (auto it = connected_.begin(); it != connected_.end();) {
    const bool stays = std::find(present.begin(), present.end(), *it) != present.end() && sources_->IsConnected(*it);
    if (stays) {
      ++it;
    } else {
      events.push_back({MidiSourceEvent::Kind::kLost, *it});
      it = connected_.erase(it);
    }
  }
  for (const std::string& source : present) {
    if (connected_.contains(source) || !std::regex_search(source, pattern_)) continue;
    // One that will not connect now is tried again at the next poll.
    if (!sources_->Connect(source)) continue;
    connected_.insert(source);
    events.push_back({MidiSourceEvent::Kind::kConnected, source});
  }
  return events;
}

}  // namespace tavolin
