#pragma once
// The program's command line:
//   tavolin [--midi-port NAME] [--audio API[:DEVICE]] [--latency low|ring] [SONG.mid ...]
//   tavolin --list-audio | --help | --version

#include <optional>
#include <string>
#include <vector>

#include "host/AudioChoice.h"
#include "platform/WaveOut.h"

namespace tavolin {

struct CommandLine {
  enum class Action { Run, Help, Version, ListAudio };
  Action action = Action::Run;
  // Open MIDI input at start on the first input port whose name contains
  // this ("virtual": our own virtual port).
  std::optional<std::string> midiPort;
  WaveOutChoice audio;                 // the sound output; Auto unless --audio
  OutputPath path = OutputPath::Ring;  // --latency
  std::vector<std::string> songs;      // the playlist to open and play at start
};

inline constexpr int kUsageExitCode = 2;
inline constexpr const char* kUsage =
    "usage: tavolin [--midi-port NAME] [--audio API[:DEVICE]] [--latency low|ring]\n"
    "               [SONG.mid ...]\n"
    "       tavolin --list-audio | --help | --version";

// The usage followed by what each option does.
std::string HelpText();

// The options, or nothing with the mistake in `error`.
std::optional<CommandLine> ParseCommandLine(int argc, const char* const* argv, std::string& error);

}  // namespace tavolin
