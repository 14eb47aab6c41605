#include "params/SetNames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "params/EngineInputs.h"
#include "params/ParamTable.h"

namespace tavolin {

namespace {

struct Meaning {
  std::string_view name;  // the unison inputs by their prefix
  std::string_view does;
  std::string_view window;  // for the inputs outside the table
};

constexpr Meaning kMeanings[] = {
    {"MasterVol", "level of every voice (factor)", {}},
    {"Howling", "howling feedback (Insert): divides the fed-back block (factor)", {}},
    {"LPFFact", "spectral low-pass corner (Page Up) (FFT bins of 43.07 Hz)", {}},
    {"HPFFact", "spectral high-pass corner (Page Up) (FFT bins of 43.07 Hz)", {}},
    {"DetuneFact", "detune (Shift+D): two renderings at 1 -/+ this (factor)", {}},
    {"ringFact", "ring modulation (Shift+R): second rendering at 1 + this (factor)", {}},
    {"rectwFact", "mode 11's pulse: low for 1/this of each period (factor)", {}},
    {"Life", "fade-out of computer-keyboard and MIDI-input notes (seconds)", {}},
    {"MidiLife", "fade-out of song notes (seconds)", {}},
    {"MidiDrumLife", "length of song drum notes, channel 10 (seconds)", {}},
    {"Distortion", "clipping (Shift+T): this far inside full scale (sample values)", {}},
    {"ModPower", "vibrato strength, 0 = none (factor; the mod wheel sets 0 to 1)", {}},
    {"ModFact", "vibrato depth at strength 1 (semitones)", {}},
    {"ModFreq", "vibrato rate (Hz)", {}},
    {"LPFResoCut", "resonant low-pass cutoff, master (Shift+Z), voices (Shift+X) (Hz)", {}},
    {"LPFResoAmp", "their resonance, larger = sharper (factor)", {}},
    {"LPFResoPlus", "voice low-pass sweep: one cycle per note in this time (seconds)", {}},
    {"LPFResoSndW", "voice low-pass sweep width above the cutoff (Hz)", {}},
    {"LPFTimedReso", "timed sweep (Shift+C): one cycle of all voices in this time (seconds)", {}},
    {"ONLY_CH", "play only this song channel, 1 to 16; 0 = all (whole number)", {}},
    {"ArpeggioRate", "arpeggio (Shift+A): length of each of its three steps (seconds)", {}},
    {"ArpeggioS1", "arpeggio's second step above the note (whole semitones)", {}},
    {"ArpeggioS2", "arpeggio's third step above the note (whole semitones)", {}},
    {"PitchBend", "bend of computer-keyboard and MIDI-input notes (semitones)", "a drag with the left mouse button"},
    {"PitchShift", "shift of every note (semitones)", "a drag with the right mouse button"},
    {"UnisonRatio", "mode 9: saw K's period ratio (factor)", "the Shift+0 dialog's ratio field K"},
    {"UnisonOffset", "mode 9: saw K's start offset (whole samples, 0 to 4294967295)",
     "the Shift+0 dialog's offset field K"},
};

// Also stepped by Shift+Home/End, which have no floor.
constexpr std::string_view kUnfloored = "rectwFact";

// The meaning of a valid name (of UnisonRatioK by "UnisonRatio").
const Meaning* MeaningOf(std::string_view name) {
  for (const Meaning& m : kMeanings) {
    if (name == m.name || (m.name.starts_with("Unison") && name.starts_with(m.name))) return &m;
  }
  return nullptr;
}

// The window's own table over parameters of its own, for the rows' labels,
// steps, kinds and initial values.
struct WindowTable {
  Synth synth;
  MasterChain master;
  ParamTable rows = MakeParamTable(synth, master);
};

WindowTable& Window() {
  static const auto table = std::make_unique<WindowTable>();
  return *table;
}

// The row of the parameter `name` (its index in `number`), or null.
const ParamDef* RowOf(std::string_view name, size_t& number) {
  WindowTable& w = Window();
  const std::atomic<double>* value = FindParam(w.synth.params, name);
  for (number = 0; value && number < w.rows.size(); ++number) {
    if (w.rows[number].value == value) return &w.rows[number];
  }
  return nullptr;
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string WindowWay(std::string_view name) {
  size_t number = 0;
  const ParamDef* row = RowOf(name, number);
  if (!row) return std::string(MeaningOf(name)->window);
  const bool whole = row->kind == kWholeValue;
  const double step = whole ? std::trunc(row->step) : row->step;
  const double big = row->bigStep != 0.0 ? (whole ? std::trunc(row->bigStep) : row->bigStep) : 10.0 * step;
  std::string way = "row " + std::to_string(number + 1) + " \"" + row->label + "\", step " + Format("%g", step) +
                    " (Ctrl: " + Format("%g", big) + ")";
  if (name == kUnfloored) way += "; Shift+Home/End";
  return way;
}

// The name and the window's way, then what it does.
void AddHelpLines(std::string& help, std::string name, std::string_view key) {
  name.resize(std::max<size_t>(name.size() + 1, 15), ' ');
  help += "  " + name + WindowWay(key) + "\n      " + std::string(MeaningOf(key)->does) + "\n";
}

}  // namespace

bool IsSetName(std::string_view name) { return FindParam(Window().synth.params, name) || IsEngineInput(name); }

std::string SetNameList() {
  std::vector<std::string> names(ParamNames().size());
  std::transform(ParamNames().begin(), ParamNames().end(), names.begin(),
                 [](const ParamName& p) { return std::string(p.name); });
  names.insert(names.end(), EngineInputNames().begin(), EngineInputNames().end());
  std::string list;
  size_t lineLength = 0;
  for (const std::string& name : names) {
    if (lineLength > 0) {
      const bool fits = lineLength + 1 + name.size() < 80;
      list += fits ? ' ' : '\n';
      lineLength = fits ? lineLength + 1 : 0;
    }
    list += name;
    lineLength += name.size();
  }
  return list;
}

std::string SetNamesHelp() {
  std::string help =
      "--set NAME=VALUE takes these names (K: 0 to 7); VALUE is a decimal number.\n"
      "Beside each, the window's way to the same value: Shift+Right/Left picks a\n"
      "parameter row, Shift+Up/Down steps it (with Ctrl: the bigger step), down to\n"
      "0.0001 except in whole-number rows. A value the window cannot reach is\n"
      "taken, with a warning. Below, what it does (its switch key) and its unit.\n";
  for (const ParamName& p : ParamNames()) AddHelpLines(help, std::string(p.name), p.name);
  for (const std::string_view group : {"PitchBend", "PitchShift", "UnisonRatio", "UnisonOffset"}) {
    AddHelpLines(help, std::string(group) + (group.starts_with("Unison") ? "K" : ""), group);
  }
  return help;
}

SetNameFacts FactsOf(std::string_view name) {
  SetNameFacts facts;
  facts.does = MeaningOf(name)->does;
  size_t number = 0;
  if (const ParamDef* row = RowOf(name, number)) {
    facts.label = row->label;
    facts.whole = row->kind == kWholeValue;
    facts.step = facts.whole ? std::trunc(row->step) : row->step;
  }
  return facts;
}

std::string BeyondWindowReach(std::string_view name, double value) {
  size_t number = 0;
  const ParamDef* row = RowOf(name, number);
  // The mouse, the dialog and Shift+Home/End reach any value.
  if (!row || name == kUnfloored) return {};
  if (row->kind == kWholeValue) {
    return value == std::trunc(value) ? "" : std::string("the window steps \"") + row->label + "\" in whole numbers";
  }
  if (value >= kLowestStepped || value == row->value->load(std::memory_order_relaxed)) return {};
  return "the window's steps stop at 0.0001 going down";
}

}  // namespace tavolin
