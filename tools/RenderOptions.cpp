#include "tools/RenderOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/WaveFileWriter.h"
#include "tools/EngineInputs.h"
#include "tools/SetNames.h"

namespace tavolin {

namespace {

constexpr int kModeCount = 15;
// The 16-bit mono samples a WAVE file holds (its data limit is even).
constexpr uint64_t kMaxRenderSamples = kWaveDataLimit / 2;

// A decimal number: digits with an optional sign, point and exponent, and
// nothing else (no hexadecimal, infinity or NaN, no spaces).
std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) return std::nullopt;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  const char* end = text.data() + text.size();
  if (begin != text.data() && *begin == '-') return std::nullopt;
  double value = 0.0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

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

const std::vector<std::string>& RenderSwitchNames() {
  static const std::vector<std::string> names{"DetuneOn",  "RingOn",       "VoiceResoOn", "TimedResoOn", "ArpeggioOn",
                                              "HowlingOn", "DistortionOn", "LPFResoOn",   "LPFOn",       "HPFOn"};
  return names;
}

double MaxRenderSeconds() { return static_cast<double>(kMaxRenderSamples) / kSampleRate; }

std::string RenderHelp() {
  static constexpr char kOptions[] =
      "usage: tavolin-render [options] SONG.mid -o OUT.wav\n"
      "       tavolin-render [options] --midi-in FILE.mid -o OUT.wav\n"
      "       tavolin-render --events SONG.mid [-o LIST.txt]\n"
      "Plays a Standard MIDI File through the synthesizer in virtual time and\n"
      "writes what the sound device would have played (16-bit mono, 44100 Hz).\n"
      "\n"
      "  -o, --output FILE   the WAVE file to write (with --events: the list);\n"
      "                      written whole or not at all; - is standard output\n"
      "  --mode N            oscillator mode of new voices (0..14)\n"
      "  --set NAME=VALUE    a parameter by name (the names follow); repeatable\n"
      "  --on SWITCH         DetuneOn RingOn VoiceResoOn TimedResoOn ArpeggioOn\n"
      "                      HowlingOn DistortionOn LPFResoOn LPFOn HPFOn; repeatable\n"
      "                      (LPFOn, HPFOn: the spectral low- and high-pass, corners\n"
      "                      LPFFact and HPFFact in FFT bins of 43.07 Hz)\n"
      "  --vocoder FILE.wav  the vocoder's modulator (the WAVE file's data read as\n"
      "                      16-bit mono at 44100 Hz), started when the song starts\n"
      "  --midi-in FILE.mid  play the file's channel messages into the MIDI input at\n"
      "                      their times, as if from a keyboard, instead of as a song\n"
      "  --seconds S         render S seconds instead of until the song has ended\n"
      "                      (a WAVE file holds at most 13.5 hours)\n"
      "  --events            print the converted event list and exit\n"
      "  --quiet             no progress bar\n"
      "  --help, --version\n"
      "\n";
  return kOptions + SetNamesHelp();
}

ParsedCommandLine ParseRenderCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  RenderSettings& s = parsed.settings;
  bool events = false;
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
    if (arg == "--events") {
      events = true;
    } else if (arg == "--quiet") {
      s.quiet = true;
    } else if (arg == "-o" || arg == "--output" || arg == "--mode" || arg == "--set" || arg == "--on" ||
               arg == "--seconds" || arg == "--vocoder" || arg == "--midi-in") {
      if (!hasValue) return Usage(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "-o" || arg == "--output") {
        s.outPath = value;
      } else if (arg == "--midi-in") {
        positional.push_back(value);
        s.liveInput = true;
      } else if (arg == "--vocoder") {
        s.vocoderPath = value;
      } else if (arg == "--mode") {
        const auto n = ParseNumber(value);
        if (!n || *n != std::trunc(*n) || *n < 0 || *n >= kModeCount) return Usage("--mode takes 0 to 14");
        s.mode = static_cast<int>(*n);
      } else if (arg == "--set") {
        const size_t eq = value.find('=');
        if (eq == std::string::npos) return Usage("--set takes NAME=VALUE");
        const std::string name = value.substr(0, eq);
        const std::string text = value.substr(eq + 1);
        const auto number = ParseNumber(text);
        if (!IsSetName(name)) return Usage("unknown parameter " + name + "; the names are:\n" + SetNameList());
        if (!number) return Usage("--set " + name + " needs a decimal number, not \"" + text + "\"");
        if (const std::string why = CheckEngineInput(name, *number); !why.empty()) return Usage(why);
        if (const std::string why = BeyondWindowReach(name, *number); !why.empty()) {
          parsed.warnings.push_back("--set " + value + ": " + why + "; taken as given");
        }
        s.params.emplace_back(name, *number);
      } else if (arg == "--on") {
        const auto& names = RenderSwitchNames();
        if (std::find(names.begin(), names.end(), value) == names.end()) return Usage("unknown switch " + value);
        s.switches.push_back(value);
      } else {
        const auto n = ParseNumber(value);
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
