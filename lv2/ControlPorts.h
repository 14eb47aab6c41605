#pragma once
// The plugin's control inputs, one table for its Turtle description and for
// run: every parameter --set takes except the unison tables (those are the
// plugin's state), the ten switches as toggles, and the oscillator mode of
// new voices. A port's value reaches the engine as --set, --on or --mode
// would put it, when it changes: a MIDI controller that moved a parameter
// since is not overridden by a port the host merely repeats.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavolin {

struct Synth;
struct MasterChain;

enum class ControlKind { kParameter, kEngineInput, kSwitch, kMode };

struct ControlPortDef {
  std::string symbol;  // the name --set or --on takes; "mode"
  std::string name;    // the window's label where there is one
  std::string comment;
  ControlKind kind;
  float defaultValue;
  float minimum;
  float maximum;
  std::string_view unit;  // an LV2 units URI, or empty
  double step;            // the window's step; 0: none
  bool integer;
};

// The port index of the first control input; the others follow in table order.
inline constexpr uint32_t kFirstControlPort = 4;

// In port order.
const std::vector<ControlPortDef>& ControlPortDefs();

// The oscillator modes' names, 0 to 14, for the mode port's choices.
std::span<const std::string_view> OscillatorModeNames();

class ControlInputs {
 public:
  // Allocates here; the engine's inputs live as long as this.
  ControlInputs(Synth& synth, MasterChain& master);

  // `index` counts from the first control port; others are ignored.
  void Connect(uint32_t index, const float* port);

  // [audio thread] Applies every connected port whose value differs from the
  // one it applied last (all of them at the first call).
  void ApplyChanges();

 private:
  struct Input {
    const ControlPortDef* def;
    std::atomic<double>* param;   // a parameter's
    std::atomic<int32_t>* whole;  // a switch's or the mode's
    const float* port;
    float applied;
  };

  void Apply(const Input& input, float value);

  Synth& synth_;
  std::vector<Input> inputs_;
};

}  // namespace tavolin
