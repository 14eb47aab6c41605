#include "host/ProgramOptions.h"

#include <cstdio>

#include "platform/SoundOutputs.h"

namespace tavolin {

std::optional<std::string_view> ValueOf(std::string_view name, int argc, const char* const* argv, int& i) {
  const std::string_view arg = argv[i];
  if (arg == name) return i + 1 == argc ? std::string_view() : std::string_view(argv[++i]);
  if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
    return arg.substr(name.size() + 1);
  }
  return std::nullopt;
}

namespace {

// True when argv[i] was a shared option, taken; nothing with `error` set
// when its value is wrong; false when it is not one of them.
std::optional<bool> TakeSharedOption(int argc, const char* const* argv, int& i, ProgramOptions& options,
                                     std::string& error) {
  const std::string_view arg = argv[i];
  if (arg == "--help" || arg == "-h") {
    options.action = ProgramOptions::Action::Help;
  } else if (arg == "--version") {
    options.action = ProgramOptions::Action::Version;
  } else if (arg == "--list-audio") {
    options.action = ProgramOptions::Action::ListAudio;
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
    return false;
  }
  return true;
}

}  // namespace

std::optional<ProgramOptions> ParseProgramOptions(int argc, const char* const* argv, OutputPath path,
                                                  const OwnOptions& own, std::string& error) {
  ProgramOptions options;
  options.path = path;
  bool onlySongs = false;  // after "--"
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (onlySongs || !arg.starts_with("-")) {
      options.songs.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      onlySongs = true;
      continue;
    }
    const std::optional<bool> shared = TakeSharedOption(argc, argv, i, options, error);
    if (!shared) return std::nullopt;
    if (*shared) continue;
    if (!own || !own(argc, argv, i, error)) {
      if (error.empty()) error = "unknown option \"" + std::string(arg) + "\"";
      return std::nullopt;
    }
  }
  return options;
}

std::string SharedOptionsHelp(OutputPath path) {
  const bool ring = path == OutputPath::Ring;
  return std::string(
             "  --midi-port NAME      open MIDI input on the first port whose name contains NAME\n"
             "                        (\"virtual\": Tavolin's own virtual input port)\n"
             "  --audio API[:DEVICE]  play on this sound system (jack, pulse, alsa) and device\n"
             "                        instead of the default choice; \"null\": the silent null device\n") +
         (ring ? "  --latency low|ring    \"ring\" (the default): the output plays a ring of eight\n"
                 "                        queued 1024-sample buffers (about 190 ms behind);\n"
                 "                        \"low\": the device takes samples as it plays them\n"
               : "  --latency low|ring    \"low\" (the default): the device takes samples as it plays\n"
                 "                        them; \"ring\": it plays a ring of eight queued 1024-sample\n"
                 "                        buffers (about 190 ms behind)\n") +
         "  --list-audio          list the output devices of every sound system\n";
}

std::optional<int> AnswerBeforeStart(const std::optional<ProgramOptions>& options, const std::string& mistake,
                                     const ProgramTexts& texts) {
  using Action = ProgramOptions::Action;
  if (!options) {
    std::fprintf(stderr, "%s: %s\n%s\n", texts.program, mistake.c_str(), texts.usage);
    return kUsageExitCode;
  }
  switch (options->action) {
    case Action::Help: std::fputs(texts.help.c_str(), stdout); return 0;
    case Action::Version: std::printf("%s %s\n", texts.program, texts.version); return 0;
    case Action::ListAudio: std::fputs(SoundOutputListing(ListSoundOutputs()).c_str(), stdout); return 0;
    case Action::Run: break;
  }
  const WaveOutChoice& audio = options->audio;
  if (audio.kind == WaveOutKind::System) {
    if (const std::string missing = MissingSoundOutput(audio.api, audio.device); !missing.empty()) {
      std::fprintf(stderr, "%s: --audio: %s; %s --list-audio lists the devices\n", texts.program, missing.c_str(),
                   texts.program);
      return 1;
    }
  }
  return std::nullopt;
}

}  // namespace tavolin
