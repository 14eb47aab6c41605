#pragma once
// The program's options:
//   --midi-port NAME   open MIDI input at start on the first input port whose
//                      name contains NAME ("virtual": our own virtual port)

#include <optional>
#include <string>

namespace tavolin {

struct CommandLine {
  std::optional<std::string> midiPort;
};

inline constexpr int kUsageExitCode = 2;
inline constexpr const char* kUsage = "usage: tavolin [--midi-port NAME]";

// The options, or nothing with the mistake in `error`.
std::optional<CommandLine> ParseCommandLine(int argc, const char* const* argv, std::string& error);

}  // namespace tavolin
