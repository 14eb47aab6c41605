#pragma once
// The command line of tavolin-headless, the sound module without a screen:
// the window program's options, the renderer's engine settings, and its own.

#include <optional>
#include <string>
#include <vector>

#include "host/EngineSettings.h"
#include "host/ProgramOptions.h"

namespace tavolin {

struct HeadlessOptions {
  ProgramOptions program;                             // the pull path unless --latency ring
  std::optional<std::string> midiConnect;             // --midi-connect: the sources to connect, as a regular expression
  std::string recordPath;                             // --record: empty for none
  EngineSettings engine;                              // --mode, --set, --on, --vocoder
  NoteNumbering numbering = NoteNumbering::Standard;  // --note-numbering: a keyboard's note 69 is A 440 Hz
  std::vector<std::string> warnings;                  // values taken that the window cannot reach
};

inline constexpr const char* kHeadlessUsage =
    "usage: tavolin-headless [--audio API[:DEVICE]] [--latency low|ring] [--midi-port NAME]\n"
    "                        [--midi-connect REGEX] [--record FILE.wav]\n"
    "                        [--note-numbering standard|live] [--mode N]\n"
    "                        [--set NAME=VALUE]... [--on SWITCH]... [--vocoder FILE.wav]\n"
    "                        [SONG.mid ...]\n"
    "       tavolin-headless --list-audio | --help | --version";

std::string HeadlessHelp();

// The options, or nothing with the mistake in `error`.
std::optional<HeadlessOptions> ParseHeadlessOptions(int argc, const char* const* argv, std::string& error);

}  // namespace tavolin
