#include "lv2/ControlPorts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "audio/MasterChain.h"
#include "params/EngineInputs.h"
#include "params/EngineSwitches.h"
#include "params/SetNames.h"
#include "synth/Synth.h"

namespace tavolin {

namespace {

constexpr std::string_view kCoef = "http://lv2plug.in/ns/extensions/units#coef";
constexpr std::string_view kHz = "http://lv2plug.in/ns/extensions/units#hz";
constexpr std::string_view kSeconds = "http://lv2plug.in/ns/extensions/units#s";
constexpr std::string_view kSemitones = "http://lv2plug.in/ns/extensions/units#semitone12TET";

// The window floors real values at 0.0001 and has no ceiling; a host needs
// both. Each range is what the parameter's meaning makes playable, on the
// grid of the window's steps, starting at 0 where 0 is harmless and at one
// step where the engine divides by the value.
struct Range {
  std::string_view name;
  float minimum;
  float maximum;
  std::string_view unit;
};

constexpr Range kRanges[] = {
    {"MasterVol", 0, 10, kCoef},
    {"Howling", 0.1f, 100, kCoef},
    {"LPFFact", 0, 512, {}},  // FFT bins of 43.07 Hz
    {"HPFFact", 0, 512, {}},
    {"DetuneFact", 0, 1, kCoef},
    {"ringFact", 0, 4, kCoef},
    {"rectwFact", 0.1f, 100, kCoef},
    {"Life", 0.05f, 30, kSeconds},
    {"MidiLife", 0.05f, 30, kSeconds},
    {"MidiDrumLife", 0.05f, 30, kSeconds},
    {"Distortion", 0, 32767, {}},  // sample values
    {"ModPower", 0, 1, kCoef},
    {"ModFact", 0, 24, kSemitones},
    {"ModFreq", 0, 50, kHz},
    {"LPFResoCut", 1, 22050, kHz},
    {"LPFResoAmp", 0.01f, 100, kCoef},
    {"LPFResoPlus", 0.01f, 60, kSeconds},
    {"LPFResoSndW", 0, 22050, kHz},
    {"LPFTimedReso", 0.01f, 60, kSeconds},
    {"ONLY_CH", 0, 16, {}},
    {"ArpeggioRate", 0.001f, 2, kSeconds},
    {"ArpeggioS1", -24, 24, kSemitones},
    {"ArpeggioS2", -24, 24, kSemitones},
    {"PitchBend", -24, 24, kSemitones},
    {"PitchShift", -48, 48, kSemitones},
};

constexpr std::string_view kModeNames[] = {
    "square",  "pulse 1/4",  "pulse 1/8", "rising saw",     "triangle", "white noise",     "sine",         "organ A",
    "organ B", "saw unison", "spike",     "variable pulse", "half saw", "sample and hold", "falling sine",
};
static_assert(std::size(kModeNames) == kOscillatorModes);

struct SwitchMeaning {
  std::string_view name;
  std::string_view does;
};

constexpr SwitchMeaning kSwitchMeanings[] = {
    {"DetuneOn", "detune: two renderings at 1 -/+ DetuneFact (Shift+D)"},
    {"RingOn", "ring modulation: renderings at 1 - DetuneFact and 1 + ringFact multiplied (Shift+R)"},
    {"VoiceResoOn", "resonant low-pass of every voice, swept by LPFResoPlus and LPFResoSndW (Shift+X)"},
    {"TimedResoOn", "the voices' low-pass sweep follows the clock, one cycle in LPFTimedReso (Shift+C)"},
    {"ArpeggioOn", "arpeggio through 0, ArpeggioS1 and ArpeggioS2 semitones (Shift+A)"},
    {"HowlingOn", "howling feedback of the output, divided by Howling (Insert)"},
    {"DistortionOn", "clipping at Distortion inside full scale (Shift+T)"},
    {"LPFResoOn", "resonant low-pass of the output at LPFResoCut (Shift+Z)"},
    {"LPFOn", "spectral low-pass at LPFFact (Page Up)"},
    {"HPFOn", "spectral high-pass at HPFFact (Page Up)"},
};

ControlPortDef NumberPort(const Range& range, float defaultValue, ControlKind kind) {
  const SetNameFacts facts = FactsOf(range.name);
  const std::string name(range.name);
  return {name,
          facts.label.empty() ? name : std::string(facts.label),
          std::string(facts.does),
          kind,
          defaultValue,
          range.minimum,
          range.maximum,
          range.unit,
          facts.step,
          facts.whole};
}

std::vector<ControlPortDef> MakeDefs() {
  Synth defaults;
  std::vector<ControlPortDef> defs;
  for (const ParamName& p : ParamNames()) {
    const Range& range =
        *std::find_if(std::begin(kRanges), std::end(kRanges), [&](const Range& r) { return r.name == p.name; });
    defs.push_back(NumberPort(range, static_cast<float>((defaults.params.*p.member).load()), ControlKind::kParameter));
  }
  for (const Range& range : std::span(kRanges).last(2)) defs.push_back(NumberPort(range, 0, ControlKind::kEngineInput));
  for (const std::string& name : EngineSwitchNames()) {
    const SwitchMeaning& meaning = *std::find_if(std::begin(kSwitchMeanings), std::end(kSwitchMeanings),
                                                 [&](const SwitchMeaning& m) { return m.name == name; });
    defs.push_back({name, name, std::string(meaning.does), ControlKind::kSwitch, 0, 0, 1, {}, 0, true});
  }
  defs.push_back(
      {"mode", "Mode", "oscillator mode of new voices", ControlKind::kMode, 0, 0, kOscillatorModes - 1, {}, 0, true});
  return defs;
}

}  // namespace

const std::vector<ControlPortDef>& ControlPortDefs() {
  static const std::vector<ControlPortDef> defs = MakeDefs();
  return defs;
}

std::span<const std::string_view> OscillatorModeNames() { return kModeNames; }

ControlInputs::ControlInputs(Synth& synth, MasterChain& master) : synth_(synth) {
  for (const ControlPortDef& def : ControlPortDefs()) {
    Input input{&def, nullptr, nullptr, nullptr, std::numeric_limits<float>::quiet_NaN()};
    if (def.kind == ControlKind::kParameter) input.param = FindParam(synth.params, def.symbol);
    if (def.kind == ControlKind::kSwitch) input.whole = FindSwitch(synth, master, def.symbol);
    if (def.kind == ControlKind::kMode) input.whole = &synth.CurrentMode;
    inputs_.push_back(input);
  }
}

void ControlInputs::Connect(uint32_t index, const float* port) {
  if (index < inputs_.size()) inputs_[index].port = port;
}

void ControlInputs::ApplyChanges() {
  for (Input& input : inputs_) {
    if (input.port == nullptr) continue;
    const float value = *input.port;
    // NaN, what `applied` holds before the first call, equals nothing; a
    // host's NaN is no value.
    if (value == input.applied || std::isnan(value)) continue;
    input.applied = value;
    Apply(input, value);
  }
}

void ControlInputs::ApplyAll() {
  for (Input& input : inputs_) input.applied = std::numeric_limits<float>::quiet_NaN();
  ApplyChanges();
}

void ControlInputs::Apply(const Input& input, float value) {
  switch (input.def->kind) {
    case ControlKind::kParameter: input.param->store(value); break;
    case ControlKind::kEngineInput: SetEngineInput(synth_, input.def->symbol, value); break;
    case ControlKind::kSwitch: input.whole->store(value > 0.5f ? 1 : 0); break;
    case ControlKind::kMode:
      input.whole->store(static_cast<int32_t>(std::clamp(std::lround(value), 0L, long{kOscillatorModes - 1})));
      break;
  }
}

}  // namespace tavolin
