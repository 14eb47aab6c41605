#include "synth/SynthParams.h"

#include <array>

namespace tavolin {

namespace {
#define TAVOLIN_PARAM(name) \
  ParamName { #name, &SynthParams::name }
constexpr std::array kParamNames{
    TAVOLIN_PARAM(MasterVol),    TAVOLIN_PARAM(Howling),      TAVOLIN_PARAM(LPFFact),      TAVOLIN_PARAM(HPFFact),
    TAVOLIN_PARAM(DetuneFact),   TAVOLIN_PARAM(ringFact),     TAVOLIN_PARAM(rectwFact),    TAVOLIN_PARAM(Life),
    TAVOLIN_PARAM(MidiLife),     TAVOLIN_PARAM(MidiDrumLife), TAVOLIN_PARAM(Distortion),   TAVOLIN_PARAM(ModPower),
    TAVOLIN_PARAM(ModFact),      TAVOLIN_PARAM(ModFreq),      TAVOLIN_PARAM(LPFResoCut),   TAVOLIN_PARAM(LPFResoAmp),
    TAVOLIN_PARAM(LPFResoPlus),  TAVOLIN_PARAM(LPFResoSndW),  TAVOLIN_PARAM(LPFTimedReso), TAVOLIN_PARAM(ONLY_CH),
    TAVOLIN_PARAM(ArpeggioRate), TAVOLIN_PARAM(ArpeggioS1),   TAVOLIN_PARAM(ArpeggioS2),
};
#undef TAVOLIN_PARAM
}  // namespace

std::span<const ParamName> ParamNames() { return kParamNames; }

std::atomic<double>* FindParam(SynthParams& params, std::string_view name) {
  for (const ParamName& p : kParamNames) {
    if (p.name == name) return &(params.*p.member);
  }
  return nullptr;
}

}  // namespace tavolin
