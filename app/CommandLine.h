#pragma once
// The program's command line:
//   tavolin [--midi-port NAME] [--audio API[:DEVICE]] [--latency low|ring] [SONG.mid ...]
//   tavolin --list-audio | --help | --version

#include <optional>
#include <string>

#include "host/ProgramOptions.h"

namespace tavolin {

using CommandLine = ProgramOptions;

inline constexpr const char* kUsage =
    "usage: tavolin [--midi-port NAME] [--audio API[:DEVICE]] [--latency low|ring]\n"
    "               [SONG.mid ...]\n"
    "       tavolin --list-audio | --help | --version";

// The usage followed by what each option does.
std::string HelpText();

// The options, or nothing with the mistake in `error`. The ring plays
// unless --latency says otherwise: the window is a test bench first.
std::optional<CommandLine> ParseCommandLine(int argc, const char* const* argv, std::string& error);

}  // namespace tavolin
