#include "lv2/ControlPorts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "audio/MasterChain.h"
#include "params/EngineInputs.h"
#include "params/EngineSwitches.h"
#include "synth/Synth.h"

namespace tavolin {

ControlInputs::ControlInputs(Synth& synth, MasterChain& master, PluginChoices& choices)
    : synth_(synth), choices_(choices) {
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
    // NaN, what `applied` holds before the first call, equals nothing.
    if (!std::isfinite(*input.port)) continue;
    const float value = std::clamp(*input.port, input.def->minimum, input.def->maximum);
    if (value == input.applied) continue;
    input.applied = value;
    Apply(input, value);
  }
}

void ControlInputs::Apply(const Input& input, float value) {
  const bool on = value > 0.5f;
  const auto whole = static_cast<int32_t>(std::lround(value));
  switch (input.def->kind) {
    case ControlKind::kParameter: input.param->store(value); break;
    case ControlKind::kEngineInput: SetEngineInput(synth_, input.def->symbol, value); break;
    case ControlKind::kSwitch: input.whole->store(on ? 1 : 0); break;
    case ControlKind::kMode: input.whole->store(whole); break;
    case ControlKind::kCompensated: choices_.compensated = on; break;
    case ControlKind::kNumbering: choices_.numbering = whole == 0 ? NoteNumbering::Standard : NoteNumbering::LiveInput;
  }
}

}  // namespace tavolin
