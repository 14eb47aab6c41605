#include "params/EngineSwitches.h"

#include "audio/MasterChain.h"
#include "synth/Synth.h"

namespace tavolin {

const std::vector<std::string>& EngineSwitchNames() {
  static const std::vector<std::string> names{"DetuneOn",  "RingOn",       "VoiceResoOn", "TimedResoOn", "ArpeggioOn",
                                              "HowlingOn", "DistortionOn", "LPFResoOn",   "LPFOn",       "HPFOn"};
  return names;
}

std::atomic<int32_t>* FindSwitch(Synth& synth, MasterChain& master, std::string_view name) {
  EngineSwitches& s = synth.switches;
  if (name == "DetuneOn") return &s.DetuneOn;
  if (name == "RingOn") return &s.RingOn;
  if (name == "VoiceResoOn") return &s.VoiceResoOn;
  if (name == "TimedResoOn") return &s.TimedResoOn;
  if (name == "ArpeggioOn") return &s.ArpeggioOn;
  if (name == "HowlingOn") return &master.HowlingOn;
  if (name == "DistortionOn") return &master.DistortionOn;
  if (name == "LPFResoOn") return &master.LPFResoOn;
  if (name == "LPFOn") return &master.LPFOn;
  if (name == "HPFOn") return &master.HPFOn;
  return nullptr;
}

}  // namespace tavolin
