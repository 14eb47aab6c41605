#include "app/CommandLine.h"

#include <string_view>

#include "host/AudioChoice.h"

namespace tavolin {

std::string HelpText() {
  return std::string(kUsage) +
         "\n\n"
         "Plays the MIDI files given as a playlist, as F9 does with the files chosen.\n\n"
         "  --midi-port NAME      open MIDI input on the first port whose name contains NAME\n"
         "                        (\"virtual\": Tavolin's own virtual input port)\n"
         "  --audio API[:DEVICE]  play on this sound system (jack, pulse, alsa) and device\n"
         "                        instead of the default choice; \"null\": the silent null device\n"
         "  --latency low|ring    \"ring\" (the default): the output plays a ring of eight\n"
         "                        queued 1024-sample buffers (about 190 ms behind);\n"
         "                        \"low\": the device takes samples as it plays them\n"
         "  --list-audio          list the output devices of every sound system\n"
         "  --help, --version\n";
}

namespace {

// An option's value, from "--name VALUE" or "--name=VALUE" (empty when
// none follows); advances `i` past it. Nothing when argv[i] is not this option.
std::optional<std::string_view> ValueOf(std::string_view name, int argc, const char* const* argv, int& i) {
  const std::string_view arg = argv[i];
  if (arg == name) return i + 1 == argc ? std::string_view() : std::string_view(argv[++i]);
  if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
    return arg.substr(name.size() + 1);
  }
  return std::nullopt;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(int argc, const char* const* argv, std::string& error) {
  CommandLine options;
  bool onlySongs = false;  // after "--"
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (onlySongs || !arg.starts_with("-")) {
      options.songs.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      onlySongs = true;
    } else if (arg == "--help" || arg == "-h") {
      options.action = CommandLine::Action::Help;
    } else if (arg == "--version") {
      options.action = CommandLine::Action::Version;
    } else if (arg == "--list-audio") {
      options.action = CommandLine::Action::ListAudio;
    } else if (auto port = ValueOf("--midi-port", argc, argv, i)) {
      if (port->empty()) {
        error = "--midi-port needs a port name";
        return std::nullopt;
      }
      options.midiPort = std::string(*port);
    } else if (auto audio = ValueOf("--audio", argc, argv, i)) {
      if (audio->empty()) {
        error = "--audio needs a sound system, e.g. --audio jack (--list-audio lists them)";
        return std::nullopt;
      }
      auto choice = ParseAudioChoice(*audio, error);
      if (!choice) return std::nullopt;
      options.audio = std::move(*choice);
    } else if (auto latency = ValueOf("--latency", argc, argv, i)) {
      const std::optional<OutputPath> path = ParseLatency(*latency);
      if (!path) {
        error = "--latency takes low or ring";
        return std::nullopt;
      }
      options.path = *path;
    } else {
      error = "unknown option \"" + std::string(arg) + "\"";
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace tavolin
