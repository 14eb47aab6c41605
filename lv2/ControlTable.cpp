// The plugin's control table: names, groups, ranges and units of its ports.

#include <algorithm>
#include <iterator>

#include "lv2/ControlPorts.h"
#include "params/SetNames.h"
#include "synth/Synth.h"

namespace tavolin {

namespace {

constexpr std::string_view kCoef = "http://lv2plug.in/ns/extensions/units#coef";
constexpr std::string_view kHz = "http://lv2plug.in/ns/extensions/units#hz";
constexpr std::string_view kSeconds = "http://lv2plug.in/ns/extensions/units#s";
constexpr std::string_view kSemitones = "http://lv2plug.in/ns/extensions/units#semitone12TET";
constexpr std::string_view kBins = "urn:tavolin:synth#bins";
constexpr std::string_view kSampleValues = "urn:tavolin:synth#sampleValues";
constexpr std::string_view kChannel = "urn:tavolin:synth#channel";

constexpr CustomUnit kCustomUnits[] = {
    {kBins, "FFT bins of 43.07 Hz", "bins", "%g bins"},
    {kSampleValues, "16-bit sample values", "/32767", "%g / 32767"},
    {kChannel, "MIDI channel, 0 for all", "ch", "channel %.0f"},
};

constexpr PortGroup kGroups[] = {
    {"sound", "Sound"},
    {"pitch", "Pitch"},
    {"vibrato", "Vibrato"},
    {"detune", "Detune"},
    {"ring", "Ring modulation"},
    {"arpeggio", "Arpeggio"},
    {"lowpass", "Resonant low-pass"},
    {"sweep", "Voice low-pass sweep"},
    {"timed_sweep", "Timed sweep"},
    {"clipping", "Distortion"},
    {"feedback", "Howling"},
    {"spectral_lowpass", "Spectral low-pass"},
    {"spectral_highpass", "Spectral high-pass"},
    {"songs", "Song files"},
    {"plugin", "Plugin"},
};

constexpr std::string_view kModeNames[] = {
    "square",  "pulse 1/4",  "pulse 1/8", "rising saw",     "triangle", "white noise",     "sine",         "organ A",
    "organ B", "saw unison", "spike",     "variable pulse", "half saw", "sample and hold", "falling sine",
};
static_assert(std::size(kModeNames) == kOscillatorModes);

// A port as the table gives it. The window floors real values at 0.0001
// and has no ceiling; a host needs both. Each range is what the value's
// meaning makes playable, starting at 0 where 0 is harmless and above it
// where the engine divides by the value or a host draws it logarithmically
// (frequencies and times).
struct Row {
  std::string_view symbol;
  ControlKind kind;
  std::string_view group;
  std::string_view name;
  std::string_view comment;
  float minimum = 0;
  float maximum = 1;
  std::string_view unit = {};
  bool logarithmic = false;
};

constexpr auto kParam = ControlKind::kParameter;
constexpr auto kSwitch = ControlKind::kSwitch;

const Row kRows[] = {
    {"mode", ControlKind::kMode, "sound", "Waveform", "The oscillator of notes that start from now on.", 0,
     kOscillatorModes - 1},
    {"MasterVol", kParam, "sound", "Volume", "Level of every voice.", 0, 10, kCoef},
    {"Life", kParam, "sound", "Note fade-out", "How long a note takes to fade out after it starts.", 0.05f, 30,
     kSeconds, true},
    {"rectwFact", kParam, "sound", "Pulse width divisor",
     "The variable pulse waveform is low for 1/this of each period.", 0.1f, 100, kCoef},

    {"PitchBend", ControlKind::kEngineInput, "pitch", "Pitch bend",
     "Bend of the notes played, as the pitch wheel sets it.", -24, 24, kSemitones},
    {"PitchShift", ControlKind::kEngineInput, "pitch", "Transpose", "Shift of every note.", -48, 48, kSemitones},

    {"ModPower", kParam, "vibrato", "Vibrato amount", "0 is none, 1 the full depth; the mod wheel sets it too.", 0, 1,
     kCoef},
    {"ModFact", kParam, "vibrato", "Vibrato depth", "How far the pitch swings at full amount.", 0, 24, kSemitones},
    {"ModFreq", kParam, "vibrato", "Vibrato rate", "How often the pitch swings.", 0.1f, 50, kHz, true},

    {"DetuneOn", kSwitch, "detune", "Detune", "Every note sounds twice, slightly below and above its pitch."},
    {"DetuneFact", kParam, "detune", "Detune amount",
     "The two pitches are the note's times 1 minus and 1 plus this; also the lower pitch of ring modulation.", 0, 1,
     kCoef},

    {"RingOn", kSwitch, "ring", "Ring modulation",
     "Every note is multiplied by a copy of itself at another pitch, for bell-like tones."},
    {"ringFact", kParam, "ring", "Ring modulation ratio", "The copy's pitch is the note's times 1 plus this.", 0, 4,
     kCoef},

    {"ArpeggioOn", kSwitch, "arpeggio", "Arpeggio", "Every note runs through itself and the two steps above it."},
    {"ArpeggioRate", kParam, "arpeggio", "Arpeggio step time", "How long each of the three steps lasts.", 0.001f, 2,
     kSeconds, true},
    {"ArpeggioS1", kParam, "arpeggio", "Arpeggio second step", "The second step, above the note.", -24, 24, kSemitones},
    {"ArpeggioS2", kParam, "arpeggio", "Arpeggio third step", "The third step, above the note.", -24, 24, kSemitones},

    {"LPFResoOn", kSwitch, "lowpass", "Output low-pass", "A resonant low-pass filter on the whole output."},
    {"VoiceResoOn", kSwitch, "lowpass", "Voice low-pass",
     "A resonant low-pass filter on every voice, its cutoff swept upwards and back."},
    {"LPFResoCut", kParam, "lowpass", "Low-pass cutoff", "The cutoff of both filters.", 1, 22050, kHz, true},
    {"LPFResoAmp", kParam, "lowpass", "Low-pass resonance", "Larger is sharper.", 0.01f, 100, kCoef},

    {"LPFResoPlus", kParam, "sweep", "Sweep time", "One sweep of a voice's cutoff takes this long.", 0.01f, 60,
     kSeconds, true},
    {"LPFResoSndW", kParam, "sweep", "Sweep width", "How far above the cutoff a sweep goes.", 1, 22050, kHz, true},

    {"TimedResoOn", kSwitch, "timed_sweep", "Timed sweep",
     "All voices' cutoffs sweep together, following the clock, instead of each from its note's start."},
    {"LPFTimedReso", kParam, "timed_sweep", "Timed sweep time", "One sweep of all voices takes this long.", 0.01f, 60,
     kSeconds, true},

    {"DistortionOn", kSwitch, "clipping", "Distortion", "Clips the output."},
    {"Distortion", kParam, "clipping", "Distortion amount",
     "How far inside full scale (32767) the output is clipped: larger is harsher.", 0, 32767, kSampleValues},

    {"HowlingOn", kSwitch, "feedback", "Howling", "Feeds the output back into itself."},
    {"Howling", kParam, "feedback", "Howling damping", "The fed-back sound is divided by this: smaller howls louder.",
     0.1f, 100, kCoef},

    {"LPFOn", kSwitch, "spectral_lowpass", "Spectral low-pass",
     "Removes the spectrum above the corner (the output is then rendered in whole blocks)."},
    {"LPFFact", kParam, "spectral_lowpass", "Spectral low-pass corner", "The corner frequency, in FFT bins.", 1, 512,
     kBins, true},

    {"HPFOn", kSwitch, "spectral_highpass", "Spectral high-pass",
     "Removes the spectrum below the corner (the output is then rendered in whole blocks)."},
    {"HPFFact", kParam, "spectral_highpass", "Spectral high-pass corner", "The corner frequency, in FFT bins.", 1, 512,
     kBins, true},

    {"MidiLife", kParam, "songs", "Song note fade-out",
     "For songs the program plays; notes from MIDI input use Note fade-out.", 0.05f, 30, kSeconds, true},
    {"MidiDrumLife", kParam, "songs", "Song drum length", "For songs the program plays: channel 10's notes.", 0.05f, 30,
     kSeconds, true},
    {"ONLY_CH", kParam, "songs", "Song channel", "For songs the program plays: only this channel sounds; 0 is all.", 0,
     16, kChannel},

    {"numbering", ControlKind::kNumbering, "plugin", "Note numbering",
     "Standard: note 69 is A at 440 Hz, as in MIDI files. Live input: note 45 is that A, as the program's own MIDI "
     "input plays it.",
     0, 1},
    {"compensated", ControlKind::kCompensated, "plugin", "Compensated timing",
     "On: the output is one 1024-sample block late, reported as latency for the host to make up for, sample for "
     "sample as tavolin-render plays it. Off: no latency."},
};

ControlPortDef DefOf(const Row& row, Synth& defaults) {
  ControlPortDef def{std::string(row.symbol),
                     std::string(row.name),
                     std::string(row.comment),
                     row.kind,
                     0,
                     row.minimum,
                     row.maximum,
                     row.unit,
                     0,
                     false,
                     false,
                     row.logarithmic,
                     row.group,
                     {}};
  switch (row.kind) {
    case ControlKind::kParameter: {
      const SetNameFacts facts = FactsOf(row.symbol);
      def.step = facts.step;
      def.integer = facts.whole;
      def.defaultValue = static_cast<float>(FindParam(defaults.params, row.symbol)->load());
      break;
    }
    case ControlKind::kEngineInput: break;
    case ControlKind::kSwitch:
    case ControlKind::kCompensated: def.toggled = true; break;
    case ControlKind::kMode:
      def.integer = true;
      for (size_t mode = 0; mode < std::size(kModeNames); ++mode) {
        def.choices.push_back(std::to_string(mode) + " " + std::string(kModeNames[mode]));
      }
      break;
    case ControlKind::kNumbering:
      def.integer = true;
      def.choices = {"standard", "live input"};
      break;
  }
  return def;
}

std::vector<ControlPortDef> MakeDefs() {
  Synth defaults;
  std::vector<ControlPortDef> defs;
  for (const Row& row : kRows) defs.push_back(DefOf(row, defaults));
  return defs;
}

}  // namespace

const std::vector<ControlPortDef>& ControlPortDefs() {
  static const std::vector<ControlPortDef> defs = MakeDefs();
  return defs;
}

std::span<const PortGroup> PortGroups() { return kGroups; }

std::span<const CustomUnit> CustomUnits() { return kCustomUnits; }

}  // namespace tavolin
