#pragma once
// The one map from a name to the engine value it sets, for --set, --on and
// --mode and for the plugin's controls: a parameter, an input beside the
// parameter table (the pitch wheel and shift, the unison saws), a switch, or
// "mode", the oscillator mode of new voices. Found once by its name, then
// set without a lookup, allocation or lock (on the audio thread too).

#include <atomic>
#include <cstdint>
#include <string_view>

namespace tavolin {

struct Synth;
struct MasterChain;

class EngineValue {
 public:
  // The value called `name`; nothing (Found() false) for an unknown name.
  // `name` must outlive the result: an input beside the table is set by it.
  static EngineValue Find(Synth& synth, MasterChain& master, std::string_view name);

  bool Found() const { return kind_ != Kind::kNone; }

  // As --set, --on or --mode puts it: a parameter or input takes `value`, a
  // switch is on above 0.5, the mode is `value` rounded.
  void Set(double value) const;

 private:
  enum class Kind { kNone, kParameter, kInput, kSwitch, kMode };

  Kind kind_ = Kind::kNone;
  Synth* synth_ = nullptr;
  std::atomic<double>* param_ = nullptr;
  std::atomic<int32_t>* whole_ = nullptr;  // a switch's or the mode's
  std::string_view name_;                  // an input's
};

}  // namespace tavolin
