#include "tools/RenderOptions.h"

#include <cmath>
#include <cstdio>

#include "params/DecimalNumber.h"
#include "params/SetNames.h"
#include "platform/WaveFileWriter.h"

namespace tavolin {

namespace {

// The 16-bit mono samples a WAVE file holds (its data limit is even).
constexpr uint64_t kMaxRenderSamples = kWaveDataLimit / 2;

std::string SecondsLimitText() {
  char text[160];
  std::snprintf(text, sizeof text, "--seconds: a WAVE file holds at most %.2f seconds (its 4 GiB limit)",
                std::floor(MaxRenderSeconds() * 100.0) / 100.0);
  return text;
}

ParsedCommandLine Usage(std::string error) {
  ParsedCommandLine parsed;
  parsed.action = RenderAction::UsageError;
  parsed.error = std::move(error);
  return parsed;
}

}  // namespace

double MaxRenderSeconds() { return static_cast<double>(kMaxRenderSamples) / kSampleRate; }

std::string RenderHelp() {
  static constexpr char kOptions[] =
      "usage: tavolin-render [options] SONG.mid -o OUT.wav\n"
      "       tavolin-render [options] --midi-in FILE.mid -o OUT.wav\n"
      "       tavolin-render --events SONG.mid [-o LIST.txt]\n"
      "Plays a Standard MIDI File through the synthesizer in virtual time and\n"
      "writes what the sound device would have played (16-bit mono, 44100 Hz).\n"
      "\n"
      "  -o, --output FILE     the WAVE file to write (with --events: the list);\n"
      "                        written whole or not at all; - is standard output\n";
  static constexpr char kAfterEngineOptions[] =
      "  --midi-in FILE.mid    play the file's channel messages into the MIDI input at\n"
      "                        their times, as if from a keyboard, instead of as a song\n"
      "  --exact-positions     with --midi-in: each message at its exact sample, its\n"
      "                        time x 44.1 rounded down, as the LV2 plugin places them\n";
  static constexpr char kLastOptions[] =
      "  --seconds S           render S seconds instead of until the song has ended\n"
      "                        (a WAVE file holds at most 13.5 hours)\n"
      "  --events              print the converted event list and exit\n"
      "  --quiet               no progress bar\n"
      "  --help, --version\n"
      "\n";
  return kOptions + std::string(EngineOptionsHelp()) + kAfterEngineOptions +
         NoteNumberingHelp(NoteNumbering::LiveInput) + kLastOptions + SetNamesHelp();
}

ParsedCommandLine ParseRenderCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  RenderSettings& s = parsed.settings;
  bool events = false;
  bool numbered = false;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      parsed.action = RenderAction::Help;
      return parsed;
    }
    if (arg == "--version") {
      parsed.action = RenderAction::Version;
      return parsed;
    }
    const std::string* next = hasValue ? &args[i + 1] : nullptr;
    if (const EngineOption engine = ParseEngineOption(arg, next, s.engine, parsed.warnings); engine.taken) {
      if (!engine.error.empty()) return Usage(engine.error);
      ++i;
    } else if (const EngineOption numbering = ParseNoteNumberingOption(arg, next, s.numbering); numbering.taken) {
      if (!numbering.error.empty()) return Usage(numbering.error);
      numbered = true;
      ++i;
    } else if (arg == "--events") {
      events = true;
    } else if (arg == "--quiet") {
      s.quiet = true;
    } else if (arg == "--exact-positions") {
      s.exactPositions = true;
    } else if (arg == "-o" || arg == "--output" || arg == "--seconds" || arg == "--midi-in") {
      if (!hasValue) return Usage(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "-o" || arg == "--output") {
        s.outPath = value;
      } else if (arg == "--midi-in") {
        positional.push_back(value);
        s.liveInput = true;
      } else {
        const auto n = ParseDecimalNumber(value);
        if (!n || *n <= 0) return Usage("--seconds takes a decimal number of seconds above 0");
        // The samples written are llround(S x 44100).
        if (!(*n * kSampleRate < static_cast<double>(kMaxRenderSamples) + 0.5)) return Usage(SecondsLimitText());
        s.seconds = *n;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 1) return Usage(positional.empty() ? "no MIDI file given" : "more than one MIDI file given");
  if (events && s.liveInput) return Usage("--events lists a song's events, not --midi-in");
  if (s.exactPositions && !s.liveInput) return Usage("--exact-positions places --midi-in's messages, not a song's");
  if (numbered && !s.liveInput) return Usage("--note-numbering numbers --midi-in's notes; a song's are standard");
  s.songPath = positional.front();
  if (events) {
    parsed.action = RenderAction::PrintEvents;
    return parsed;
  }
  if (s.outPath.empty()) return Usage("no output file given (-o OUT.wav)");
  parsed.action = RenderAction::Render;
  return parsed;
}

}  // namespace tavolin
