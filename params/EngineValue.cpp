#include "params/EngineValue.h"

#include <cmath>

#include "params/EngineInputs.h"
#include "params/EngineSwitches.h"
#include "synth/Synth.h"

namespace tavolin {

EngineValue EngineValue::Find(Synth& synth, MasterChain& master, std::string_view name) {
  EngineValue found;
  found.synth_ = &synth;
  found.name_ = name;
  if ((found.param_ = FindParam(synth.params, name))) {
    found.kind_ = Kind::kParameter;
  } else if (IsEngineInput(name)) {
    found.kind_ = Kind::kInput;
  } else if ((found.whole_ = FindSwitch(synth, master, name))) {
    found.kind_ = Kind::kSwitch;
  } else if (name == "mode") {
    found.whole_ = &synth.CurrentMode;
    found.kind_ = Kind::kMode;
  }
  return found;
}

void EngineValue::Set(double value) const {
  switch (kind_) {
    case Kind::kNone: break;
    case Kind::kParameter: param_->store(value); break;
    case Kind::kInput: SetEngineInput(*synth_, name_, value); break;
    case Kind::kSwitch: whole_->store(value > 0.5 ? 1 : 0); break;
    case Kind::kMode: whole_->store(static_cast<int32_t>(std::lround(value))); break;
  }
}

}  // namespace tavolin
