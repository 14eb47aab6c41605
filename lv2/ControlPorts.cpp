#include "lv2/ControlPorts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavolin {

ControlInputs::ControlInputs(Synth& synth, MasterChain& master, PluginChoices& choices) : choices_(choices) {
  for (const ControlPortDef& def : ControlPortDefs()) {
    inputs_.push_back(
        {&def, EngineValue::Find(synth, master, def.symbol), nullptr, std::numeric_limits<float>::quiet_NaN()});
  }
}

void ControlInputs::Connect(uint32_t index, const float* port) {
  if (index < inputs_.size()) inputs_[index].port = port;
}

void ControlInputs::ApplyChanges() {
  for (Input& input : inputs_) {
    if (input.port == nullptr) continue;
    // NaN, what `applied` holds before the first call, equals nothing.
    if (!std::isfinite(*input.port)) continue;
    const float value = std::clamp(*input.port, input.def->minimum, input.def->maximum);
    if (value == input.applied) continue;
    input.applied = value;
    Apply(input, value);
  }
}

void ControlInputs::ApplyAll() {
  for (Input& input : inputs_) input.applied = std::numeric_limits<float>::quiet_NaN();
  ApplyChanges();
}

void ControlInputs::Apply(const Input& input, float value) {
  if (input.def->kind == ControlKind::kCompensated) {
    choices_.compensated = value > 0.5f;
  } else if (input.def->kind == ControlKind::kNumbering) {
    choices_.numbering = std::lround(value) == 0 ? NoteNumbering::Standard : NoteNumbering::LiveInput;
  } else {
    input.target.Set(value);
  }
}

}  // namespace tavolin
