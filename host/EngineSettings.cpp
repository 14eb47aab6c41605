#include "host/EngineSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/App.h"
#include "params/DecimalNumber.h"
#include "params/EngineInputs.h"
#include "params/EngineSwitches.h"
#include "params/EngineValue.h"
#include "params/SetNames.h"
#include "spectral/ModulatorFile.h"

namespace tavolin {

namespace {

EngineOption Refused(std::string error) { return {true, std::move(error)}; }

EngineOption ParseSet(const std::string& value, EngineSettings& s, std::vector<std::string>& warnings) {
  const size_t eq = value.find('=');
  if (eq == std::string::npos) return Refused("--set takes NAME=VALUE");
  const std::string name = value.substr(0, eq);
  const std::string text = value.substr(eq + 1);
  const auto number = ParseDecimalNumber(text);
  if (!IsSetName(name)) return Refused("unknown parameter " + name + "; the names are:\n" + SetNameList());
  if (!number) return Refused("--set " + name + " needs a decimal number, not \"" + text + "\"");
  if (const std::string why = CheckEngineInput(name, *number); !why.empty()) return Refused(why);
  if (const std::string why = BeyondWindowReach(name, *number); !why.empty()) {
    warnings.push_back("--set " + value + ": " + why + "; taken as given");
  }
  s.params.emplace_back(name, *number);
  return {true, {}};
}

}  // namespace

EngineOption ParseEngineOption(const std::string& option, const std::string* value, EngineSettings& settings,
                               std::vector<std::string>& warnings) {
  if (option != "--mode" && option != "--set" && option != "--on" && option != "--vocoder") return {};
  if (!value) return Refused(option + " needs a value");
  if (option == "--set") return ParseSet(*value, settings, warnings);
  if (option == "--mode") {
    const auto n = ParseDecimalNumber(*value);
    if (!n || *n != std::trunc(*n) || *n < 0 || *n >= kOscillatorModes) return Refused("--mode takes 0 to 14");
    settings.mode = static_cast<int>(*n);
  } else if (option == "--on") {
    const auto& names = EngineSwitchNames();
    if (std::find(names.begin(), names.end(), *value) == names.end()) return Refused("unknown switch " + *value);
    settings.switches.push_back(*value);
  } else {
    settings.vocoderPath = *value;
  }
  return {true, {}};
}

EngineOption ParseNoteNumberingOption(const std::string& option, const std::string* value, NoteNumbering& numbering) {
  if (option != "--note-numbering") return {};
  if (value && *value == "standard") {
    numbering = NoteNumbering::Standard;
  } else if (value && *value == "live") {
    numbering = NoteNumbering::LiveInput;
  } else {
    return Refused("--note-numbering takes standard or live");
  }
  return {true, {}};
}

std::string NoteNumberingHelp(NoteNumbering byDefault) {
  const bool live = byDefault == NoteNumbering::LiveInput;
  return std::string(
             "  --note-numbering standard|live\n"
             "                        the MIDI input's note numbers: \"live\"") +
         (live ? " (the default)" : "") + "\n                        plays note 45 as A 440 Hz, \"standard\"" +
         (live ? "" : " (the default)") + " note 69,\n                        as songs and the LV2 plugin do\n";
}

std::string_view EngineOptionsHelp() {
  return "  --mode N              oscillator mode of new voices (0..14)\n"
         "  --set NAME=VALUE      a parameter by name (the names follow); repeatable\n"
         "  --on SWITCH           DetuneOn RingOn VoiceResoOn TimedResoOn ArpeggioOn\n"
         "                        HowlingOn DistortionOn LPFResoOn LPFOn HPFOn; repeatable\n"
         "                        (LPFOn, HPFOn: the spectral low- and high-pass, corners\n"
         "                        LPFFact and HPFFact in FFT bins of 43.07 Hz)\n"
         "  --vocoder FILE.wav    the vocoder's modulator (the WAVE file's data read as\n"
         "                        16-bit mono at 44100 Hz), started as playing starts\n";
}

void ApplyEngineSettings(App& app, const EngineSettings& settings) {
  auto set = [&app](std::string_view name, double value) { EngineValue::Find(app.synth, app.master, name).Set(value); };
  if (settings.mode) set("mode", *settings.mode);
  for (const auto& [name, value] : settings.params) set(name, value);
  for (const std::string& name : settings.switches) set(name, 1);
}

bool InstallEngineVocoder(App& app, const EngineSettings& settings, std::string_view program) {
  if (settings.vocoderPath.empty()) return true;
  ModulatorLoad load = LoadModulatorFile(settings.vocoderPath);
  const int width = static_cast<int>(program.size());
  if (!load.data) {
    std::fprintf(stderr, "%.*s: %s\n", width, program.data(), load.error.c_str());
    return false;
  }
  if (!load.warning.empty()) std::fprintf(stderr, "%.*s: warning: %s\n", width, program.data(), load.warning.c_str());
  app.modulator.Install(std::move(load.data));
  return true;
}

}  // namespace tavolin
