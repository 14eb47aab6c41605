#include "app/CommandLine.h"

namespace tavolin {

std::string HelpText() {
  return std::string(kUsage) +
         "\n\n"
         "Plays the MIDI files given as a playlist, as F9 does with the files chosen.\n\n" +
         SharedOptionsHelp(OutputPath::Ring) + "  --help, --version\n";
}

std::optional<CommandLine> ParseCommandLine(int argc, const char* const* argv, std::string& error) {
  return ParseProgramOptions(argc, argv, OutputPath::Ring, nullptr, error);
}

}  // namespace tavolin
