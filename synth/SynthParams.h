#pragma once
// The synthesis parameters and engine switches, shared with the audio thread
// without a lock: each is one atomic word, read at its point of use.
// Defaults that were chosen in single precision are kept at their widened
// double values (static_cast<double>(0.005f) is 0.004999999888241291).

#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>

namespace tavolin {

struct SynthParams {
  std::atomic<double> MasterVol{1.0};
  std::atomic<double> Howling{2.0};
  std::atomic<double> LPFFact{70.0};
  std::atomic<double> HPFFact{70.0};
  std::atomic<double> DetuneFact{static_cast<double>(0.005f)};
  std::atomic<double> ringFact{static_cast<double>(0.338f)};
  std::atomic<double> rectwFact{2.0};
  std::atomic<double> Life{0.25};
  std::atomic<double> MidiLife{static_cast<double>(0.2f)};
  std::atomic<double> MidiDrumLife{static_cast<double>(0.2f)};
  std::atomic<double> Distortion{0.0};
  std::atomic<double> ModPower{0.0};
  std::atomic<double> ModFact{0.5};
  std::atomic<double> ModFreq{5.0};
  std::atomic<double> LPFResoCut{500.0};
  std::atomic<double> LPFResoAmp{10.0};
  std::atomic<double> LPFResoPlus{2.0};
  std::atomic<double> LPFResoSndW{5000.0};
  std::atomic<double> LPFTimedReso{2.0};
  std::atomic<double> ONLY_CH{0.0};  // shown as "ONLY CH"
  std::atomic<double> ArpeggioRate{0.03125};
  std::atomic<double> ArpeggioS1{4.0};
  std::atomic<double> ArpeggioS2{7.0};
};

struct ParamName {
  std::string_view name;
  std::atomic<double> SynthParams::*member;
};

// All 23 parameters by their code names, in declaration order.
std::span<const ParamName> ParamNames();

// The parameter called `name`, or null.
std::atomic<double>* FindParam(SynthParams& params, std::string_view name);

// Switches of the engine (0 = off, other = on).
struct EngineSwitches {
  std::atomic<int32_t> DetuneOn{0};
  std::atomic<int32_t> RingOn{0};
  std::atomic<int32_t> VoiceResoOn{0};
  std::atomic<int32_t> TimedResoOn{0};
  std::atomic<int32_t> ArpeggioOn{0};
};

}  // namespace tavolin
