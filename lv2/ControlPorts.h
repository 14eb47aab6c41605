#pragma once
// The plugin's control inputs, one table for its Turtle description and for
// run: every parameter --set takes except the unison tables (those are the
// plugin's state), the ten switches as toggles, the oscillator mode of new
// voices, and the plugin's own choices. Each port is named for musicians and
// put in a group with the switch that governs it; its symbol is the name
// --set, --on or --mode takes, which sessions and presets keep. A port's
// value reaches the engine as --set, --on or --mode would put it, when it
// changes: a MIDI controller that moved a parameter since is not overridden
// by a port the host merely repeats.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "midi/NoteNumbering.h"
#include "params/EngineValue.h"

namespace tavolin {

struct Synth;
struct MasterChain;

enum class ControlKind { kParameter, kEngineInput, kSwitch, kMode, kCompensated, kNumbering };

struct ControlPortDef {
  std::string symbol;  // the name --set or --on takes; "mode"; the plugin's own
  std::string name;
  std::string comment;
  ControlKind kind;
  float defaultValue;
  float minimum;
  float maximum;
  std::string_view unit;  // a unit's URI, or empty
  double step;            // the window's step; 0: none
  bool integer;
  bool toggled;
  bool logarithmic;
  std::string_view group;            // a PortGroups() symbol
  std::vector<std::string> choices;  // the labels of values 0, 1, ... of an enumeration
};

// The port index of the first control input; the others follow in table order.
inline constexpr uint32_t kFirstControlPort = 4;

// In port order, each group's ports together.
const std::vector<ControlPortDef>& ControlPortDefs();

struct PortGroup {
  std::string_view symbol;
  std::string_view label;
};
std::span<const PortGroup> PortGroups();

// Units LV2 has no word for.
struct CustomUnit {
  std::string_view uri;
  std::string_view label;
  std::string_view symbol;
  std::string_view render;  // printf format of a value
};
std::span<const CustomUnit> CustomUnits();

// What the plugin's own controls choose, written by ControlInputs.
struct PluginChoices {
  bool compensated = false;
  NoteNumbering numbering = NoteNumbering::Standard;
};

class ControlInputs {
 public:
  // Allocates here; the engine's inputs and `choices` live as long as this.
  ControlInputs(Synth& synth, MasterChain& master, PluginChoices& choices);

  // `index` counts from the first control port; others are ignored.
  void Connect(uint32_t index, const float* port);

  // [audio thread] Applies every connected port whose value, held to its
  // range, differs from the one it applied last (all of them at the first
  // call). NaN and infinities are no value and change nothing.
  void ApplyChanges();
  // [audio thread] Applies every connected port, changed or not: after the
  // engine started afresh.
  void ApplyAll();

 private:
  struct Input {
    const ControlPortDef* def;
    EngineValue target;  // nothing for the plugin's own choices
    const float* port;
    float applied;
  };

  void Apply(const Input& input, float value);

  PluginChoices& choices_;
  std::vector<Input> inputs_;
};

}  // namespace tavolin
