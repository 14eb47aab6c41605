#include "app/CommandLine.h"

#include <string_view>

namespace tavolin {

std::optional<CommandLine> ParseCommandLine(int argc, const char* const* argv, std::string& error) {
  CommandLine options;
  constexpr std::string_view kMidiPort = "--midi-port";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::optional<std::string_view> value;
    if (arg == kMidiPort) {
      if (i + 1 == argc) {
        error = "--midi-port needs a port name";
        return std::nullopt;
      }
      value = argv[++i];
    } else if (arg.starts_with(std::string(kMidiPort) + "=")) {
      value = arg.substr(kMidiPort.size() + 1);
    } else {
      error = "unknown argument \"" + std::string(arg) + "\"";
      return std::nullopt;
    }
    if (value->empty()) {
      error = "--midi-port needs a port name";
      return std::nullopt;
    }
    options.midiPort = std::string(*value);
  }
  return options;
}

}  // namespace tavolin
