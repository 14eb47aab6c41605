#pragma once
// The engine settings both command-line programs take: --mode N,
// --set NAME=VALUE, --on SWITCH and --vocoder FILE.wav, with their help
// lines, and their application to a started-up engine.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "midi/NoteNumbering.h"

namespace tavolin {

struct App;

struct EngineSettings {
  std::optional<int> mode;                             // CurrentMode
  std::vector<std::pair<std::string, double>> params;  // --set NAME=VALUE, in order
  std::vector<std::string> switches;                   // --on SWITCH
  std::string vocoderPath;                             // --vocoder: the modulator
};

struct EngineOption {
  bool taken = false;  // the option is one of the four (and `value` is used)
  std::string error;   // a usage error, else empty
};

// Takes `option` with `value` (null: the command line ended) into `settings`
// when it is one of the four options. A value the window cannot reach is
// taken, with a warning added to `warnings`.
EngineOption ParseEngineOption(const std::string& option, const std::string* value, EngineSettings& settings,
                               std::vector<std::string>& warnings);

// The four options' lines for --help, in the order above.
std::string_view EngineOptionsHelp();

// Takes --note-numbering standard|live into `numbering` (how the live MIDI
// input's note numbers map to pitches), as ParseEngineOption takes its four.
EngineOption ParseNoteNumberingOption(const std::string& option, const std::string* value, NoteNumbering& numbering);

// --note-numbering's lines for --help, with the program's default.
std::string NoteNumberingHelp(NoteNumbering byDefault);

// Mode, parameters and switches, before start-up.
void ApplyEngineSettings(App& app, const EngineSettings& settings);

// Installs the --vocoder file stopped (nothing to do without one). False when
// it cannot be used; that and any warning go to stderr after "`program`: ".
bool InstallEngineVocoder(App& app, const EngineSettings& settings, std::string_view program);

}  // namespace tavolin
