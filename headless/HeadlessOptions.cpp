#include "headless/HeadlessOptions.h"

#include <regex>

#include "params/SetNames.h"

namespace tavolin {

std::string HeadlessHelp() {
  return std::string(kHeadlessUsage) +
         "\n\n"
         "Tavolin as a sound module without a screen: plays what comes in at its MIDI\n"
         "input, and the MIDI files given as a playlist, until it is stopped by SIGTERM,\n"
         "SIGINT, SIGHUP or SIGQUIT (a second one ends it at once). Its MIDI input is its\n"
         "own virtual port, Tavolin-MIDI:MIDI in, unless --midi-port names a source to\n"
         "open instead; without a MIDI system it plays its songs all the same.\n\n" +
         SharedOptionsHelp(OutputPath::Pull) + "  --midi-port none      no MIDI input: the songs alone\n" +
         "  --midi-connect REGEX  connect every MIDI source whose name matches REGEX to the\n"
         "                        input, and those that appear later (looked for every second)\n"
         "  --record FILE.wav     record what plays, from the start until the end; a file\n"
         "                        there is kept, and FILE-2.wav, FILE-3.wav ... taken\n" +
         NoteNumberingHelp(NoteNumbering::Standard) + std::string(EngineOptionsHelp()) + "  --help, --version\n\n" +
         SetNamesHelp();
}

std::optional<HeadlessOptions> ParseHeadlessOptions(int argc, const char* const* argv, std::string& error) {
  HeadlessOptions options;
  const auto own = [&options](int count, const char* const* args, int& i, std::string& mistake) {
    if (auto pattern = ValueOf("--midi-connect", count, args, i)) {
      try {
        const std::regex check{std::string(*pattern)};
      } catch (const std::regex_error& e) {
        mistake = "--midi-connect: \"" + std::string(*pattern) + "\" is not a regular expression: " + e.what();
        return false;
      }
      if (pattern->empty()) {
        mistake = "--midi-connect needs a pattern of source names";
        return false;
      }
      options.midiConnect = std::string(*pattern);
      return true;
    }
    if (auto path = ValueOf("--record", count, args, i)) {
      if (path->empty()) {
        mistake = "--record needs a file name";
        return false;
      }
      options.recordPath = std::string(*path);
      return true;
    }
    const std::string option = args[i];
    const std::string value = i + 1 < count ? args[i + 1] : "";
    const std::string* next = i + 1 < count ? &value : nullptr;
    EngineOption engine = ParseNoteNumberingOption(option, next, options.numbering);
    if (!engine.taken) engine = ParseEngineOption(option, next, options.engine, options.warnings);
    if (!engine.error.empty()) mistake = engine.error;
    if (!engine.taken || !engine.error.empty()) return false;
    ++i;
    return true;
  };
  std::optional<ProgramOptions> program = ParseProgramOptions(argc, argv, OutputPath::Pull, own, error);
  if (!program) return std::nullopt;
  options.program = std::move(*program);
  return options;
}

}  // namespace tavolin
