#include <gtest/gtest.h>

#include "synth/Synth.h"

namespace tavolin {
namespace {

double Value(SynthParams& p, const char* name) {
  std::atomic<double>* param = FindParam(p, name);
  EXPECT_NE(param, nullptr) << name;
  return param ? param->load() : -1.0;
}

TEST(SynthParams, DefaultsAreTheWidenedValues) {
  Synth synth;
  SynthParams& p = synth.params;
  EXPECT_EQ(Value(p, "MasterVol"), 1.0);
  EXPECT_EQ(Value(p, "Howling"), 2.0);
  EXPECT_EQ(Value(p, "LPFFact"), 70.0);
  EXPECT_EQ(Value(p, "HPFFact"), 70.0);
  EXPECT_EQ(Value(p, "DetuneFact"), 0.004999999888241291);
  EXPECT_EQ(Value(p, "ringFact"), 0.33799999952316284);
  EXPECT_EQ(Value(p, "rectwFact"), 2.0);
  EXPECT_EQ(Value(p, "Life"), 0.25);
  EXPECT_EQ(Value(p, "MidiLife"), 0.20000000298023224);
  EXPECT_EQ(Value(p, "MidiDrumLife"), 0.20000000298023224);
  EXPECT_EQ(Value(p, "Distortion"), 0.0);
  EXPECT_EQ(Value(p, "ModPower"), 0.0);
  EXPECT_EQ(Value(p, "ModFact"), 0.5);
  EXPECT_EQ(Value(p, "ModFreq"), 5.0);
  EXPECT_EQ(Value(p, "LPFResoCut"), 500.0);
  EXPECT_EQ(Value(p, "LPFResoAmp"), 10.0);
  EXPECT_EQ(Value(p, "LPFResoPlus"), 2.0);
  EXPECT_EQ(Value(p, "LPFResoSndW"), 5000.0);
  EXPECT_EQ(Value(p, "LPFTimedReso"), 2.0);
  EXPECT_EQ(Value(p, "ONLY_CH"), 0.0);
  EXPECT_EQ(Value(p, "ArpeggioRate"), 0.03125);
  EXPECT_EQ(Value(p, "ArpeggioS1"), 4.0);
  EXPECT_EQ(Value(p, "ArpeggioS2"), 7.0);
  EXPECT_EQ(ParamNames().size(), 23u);
  EXPECT_EQ(FindParam(p, "NoSuchParam"), nullptr);
}

TEST(SynthParams, SwitchesOffAndTablesAtStart) {
  Synth synth;
  EXPECT_EQ(synth.switches.DetuneOn, 0);
  EXPECT_EQ(synth.switches.RingOn, 0);
  EXPECT_EQ(synth.switches.VoiceResoOn, 0);
  EXPECT_EQ(synth.switches.TimedResoOn, 0);
  EXPECT_EQ(synth.switches.ArpeggioOn, 0);
  EXPECT_EQ(synth.CurrentMode, 0);
  EXPECT_EQ(synth.PitchBend, 0.0);
  EXPECT_EQ(synth.PitchShift, 0.0);
  for (int ch = 0; ch < kMidiChannels; ++ch) {
    EXPECT_EQ(synth.ChannelBend[ch], 0.0);
    EXPECT_EQ(synth.ChannelLevel[ch], 0.0);  // 1.0 only once a song starts
  }
  const int32_t offsets[] = {0, 2, 4, 6, 8, 10, 12, 14};
  const double ratios[] = {0.9800000190734863, 0.9900000095367432, 0.9950000047683716, 0.9980000257492065,
                           1.0019999742507935, 1.0049999952316284, 1.0099999904632568, 1.0199999809265137};
  for (int k = 0; k < kUnisonSaws; ++k) {
    EXPECT_EQ(synth.UnisonOffset[k], offsets[k]);
    EXPECT_EQ(synth.UnisonRatio[k], ratios[k]);
  }
  for (const VoiceSlot& slot : synth.voices) EXPECT_EQ(slot.active, 0u);
}

}  // namespace
}  // namespace tavolin
