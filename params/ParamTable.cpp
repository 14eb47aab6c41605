#include "params/ParamTable.h"

#include <cmath>
#include <cstdio>

#include "synth/RenderNumerics.h"

namespace tavolin {

namespace {

// Steps chosen as single-precision constants, at their widened values.
constexpr double k001 = static_cast<double>(0.01f);
constexpr double k0001 = static_cast<double>(0.001f);
constexpr double k005 = static_cast<double>(0.05f);
constexpr double k01 = static_cast<double>(0.1f);

constexpr auto relaxed = std::memory_order_relaxed;

}  // namespace

ParamTable MakeParamTable(Synth& synth, const MasterChain& master) {
  SynthParams& p = synth.params;
  const EngineSwitches& s = synth.switches;
  return ParamTable{{
      {"MasterVol", nullptr, kRealValue, &p.MasterVol, k001, 0.0},
      {"Howling.", &master.HowlingOn, kRealValue, &p.Howling, k01, 0.0},
      {"LPFFact[PgUp]", &master.LPFOn, kRealValue, &p.LPFFact, 1.0, 0.0},
      {"HPFFact[PgUp]", &master.HPFOn, kRealValue, &p.HPFFact, 1.0, 0.0},
      {"DetuneFact[D]", &s.DetuneOn, kRealValue, &p.DetuneFact, k0001, 0.0},
      {"ringFact[R]", &s.RingOn, kRealValue, &p.ringFact, k0001, 0.0},
      {"rectwFact[Ctrl-2]", nullptr, kRealValue, &p.rectwFact, k01, 0.0},
      {"Life[s]", nullptr, kRealValue, &p.Life, k005, 0.0},
      {"MidiLife[s]", nullptr, kRealValue, &p.MidiLife, k005, 0.0},
      {"MidiDrumLife[s]", nullptr, kRealValue, &p.MidiDrumLife, k005, 0.0},
      {"Distortion[T]", &master.DistortionOn, kRealValue, &p.Distortion, 1.0, 0.0},
      {"ModPower", nullptr, kRealValue, &p.ModPower, k001, 0.0},
      {"ModFact", nullptr, kRealValue, &p.ModFact, k001, 0.0},
      {"ModFreq", nullptr, kRealValue, &p.ModFreq, k001, 0.0},
      {"LPFResoCut[Z]", &master.LPFResoOn, kRealValue, &p.LPFResoCut, 1.0, 100.0},
      {"LPFResoAmp[Z]", &master.LPFResoOn, kRealValue, &p.LPFResoAmp, k001, 0.0},
      {"LPFResoSound[X]", &s.VoiceResoOn, kRealValue, nullptr, 0.0, 0.0},
      {"LPFResoPlus[X]", &s.VoiceResoOn, kRealValue, &p.LPFResoPlus, k001, 1.0},
      {"LPFResoSndW[X]", &s.VoiceResoOn, kRealValue, &p.LPFResoSndW, 1.0, 100.0},
      {"LPFTimedReso[C]", &s.TimedResoOn, kRealValue, &p.LPFTimedReso, k001, 0.0},
      {"ONLY CH", nullptr, kWholeValue, &p.ONLY_CH, 1.0, 0.0, true},
      {"ArpeggioRate[A]", &s.ArpeggioOn, kRealValue, &p.ArpeggioRate, k0001, k01},
      {"ArpeggioS1", &s.ArpeggioOn, kWholeValue, &p.ArpeggioS1, 1.0, 0.0},
      {"ArpeggioS2", &s.ArpeggioOn, kWholeValue, &p.ArpeggioS2, 1.0, 0.0},
  }};
}

void SelectRow(ParamEditor& editor, int delta) {
  editor.CurrentRow = (editor.CurrentRow + delta % kParamRows + kParamRows) % kParamRows;
}

void StepParam(ParamEditor& editor, int direction, bool ctrlDown) {
  const ParamDef& row = editor.ParamTable[static_cast<size_t>(editor.CurrentRow)];
  if (!row.value) return;
  const double d = direction;
  double value = row.value->load(relaxed);
  if (row.kind == kRealValue) {
    double increment = d * row.step;
    if (ctrlDown) increment = row.bigStep != 0.0 ? d * row.bigStep : d * row.step * 10.0;
    value += increment;
    if (value < kLowestStepped) value = kLowestStepped;
  } else if (row.kind == kWholeValue) {
    double increment = d * std::trunc(row.step);
    if (ctrlDown) increment = row.bigStep != 0.0 ? d * std::trunc(row.bigStep) : d * std::trunc(row.step) * 10.0;
    value += increment;
  } else {
    return;
  }
  row.value->store(value, relaxed);
}

void ValueText(const ParamDef& row, char (&text)[kValueTextSize]) {
  if (!row.value) {
    std::snprintf(text, sizeof text, "---");
    return;
  }
  const double v = row.value->load(relaxed);
  if (row.kind == kWholeValue) {
    std::snprintf(text, sizeof text, "%d", TruncToInt32(v));
    return;
  }
  const double magnitude = std::fabs(v);
  const int64_t thousandths = TruncToInt64(magnitude * 1000.0);
  std::snprintf(text, sizeof text, "%s%d.%03d", v < 0.0 ? "-" : "", TruncToInt32(magnitude),
                static_cast<int>(thousandths % 1000));
}

bool IsSwitchedOn(const ParamDef& row) {
  if (row.enabledByValue) return row.value && row.value->load(relaxed) != 0.0;
  return row.enableFlag && row.enableFlag->load(relaxed) != 0;
}

}  // namespace tavolin
