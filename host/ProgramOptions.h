#pragma once
// The command line that the window program and the sound module share:
//   PROGRAM [--midi-port NAME] [--audio API[:DEVICE]] [--latency low|ring]
//           [its own options] [SONG.mid ...]
//   PROGRAM --list-audio | --help | --version
// Each program adds its own options and its usage and help.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/AudioChoice.h"
#include "platform/WaveOut.h"

namespace tavolin {

struct ProgramOptions {
  enum class Action { Run, Help, Version, ListAudio };
  Action action = Action::Run;
  // Open MIDI input at start on the first input port whose name contains
  // this ("virtual": our own virtual port).
  std::optional<std::string> midiPort;
  WaveOutChoice audio;             // the sound output; Auto unless --audio
  OutputPath path;                 // --latency; the program's default unless given
  std::vector<std::string> songs;  // the playlist to open and play at start
};

inline constexpr int kUsageExitCode = 2;

// An option's value, from "--name VALUE" or "--name=VALUE" (empty when
// none follows); advances `i` past it. Nothing when argv[i] is not this option.
std::optional<std::string_view> ValueOf(std::string_view name, int argc, const char* const* argv, int& i);

// A program's own options: takes argv[i] (and its value, through ValueOf)
// and returns true; false with the mistake in `error` when it is not one of
// them or its value is wrong.
using OwnOptions = std::function<bool(int argc, const char* const* argv, int& i, std::string& error)>;

// The options, or nothing with the mistake in `error`. `path` is taken
// unless --latency says otherwise.
std::optional<ProgramOptions> ParseProgramOptions(int argc, const char* const* argv, OutputPath path,
                                                  const OwnOptions& own, std::string& error);

// The help lines of --midi-port, --audio, --latency (`path` the default)
// and --list-audio.
std::string SharedOptionsHelp(OutputPath path);

// What needs no sound: help, the version, the list of outputs, a usage
// mistake, an --audio device that is not there. An exit code, or nothing
// when the program is to run.
struct ProgramTexts {
  const char* program;  // "tavolin", "tavolin-headless"
  const char* usage;
  std::string help;
  const char* version;
};
std::optional<int> AnswerBeforeStart(const std::optional<ProgramOptions>& options, const std::string& mistake,
                                     const ProgramTexts& texts);

}  // namespace tavolin
