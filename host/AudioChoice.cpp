#include "host/AudioChoice.h"

#include <algorithm>

namespace tavolin {

std::optional<WaveOutChoice> ParseAudioChoice(std::string_view text, std::string& error) {
  if (text == "null") return WaveOutChoice{WaveOutKind::Null, {}, {}};
  const size_t colon = text.find(':');
  const std::string api(text.substr(0, colon));
  const auto known = SoundSystemNames();
  if (std::find(known.begin(), known.end(), api) == known.end()) {
    error = "unknown sound system \"" + api + "\" (known:";
    for (const std::string& name : known) error += " " + name;
    error += " null)";
    return std::nullopt;
  }
  WaveOutChoice choice{WaveOutKind::System, api, {}};
  if (colon != std::string_view::npos) {
    choice.device = text.substr(colon + 1);
    if (choice.device.empty()) {
      error = "--audio " + api + ": needs a device name after the colon";
      return std::nullopt;
    }
  }
  return choice;
}

std::string SoundOutputListing(const std::vector<SoundSystemOutputs>& systems) {
  std::string text;
  for (const SoundSystemOutputs& system : systems) {
    if (system.outputs.empty()) {
      text += system.api + "\tno output device" + (system.error.empty() ? "" : " (" + system.error + ")") + "\n";
    }
    for (const SoundOutput& o : system.outputs) {
      text += system.api + ":" + o.name + "\t" + std::to_string(o.channels) +
              (o.channels == 1 ? " channel" : " channels") + (o.isDefault ? ", default" : "") + "\n";
    }
  }
  return text + "null\tthe silent null device\n";
}

std::optional<OutputPath> ParseLatency(std::string_view text) {
  if (text == "ring") return OutputPath::Ring;
  if (text == "low") return OutputPath::Pull;
  return std::nullopt;
}

WaveOutChoice ChoiceToReopen(const WaveOutChoice& chosen, WaveOutKind opened) {
  if (chosen.kind != WaveOutKind::Auto) return chosen;
  return WaveOutChoice{opened, {}, {}, chosen.period};
}

}  // namespace tavolin
