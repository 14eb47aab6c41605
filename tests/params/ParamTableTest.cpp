#include "params/ParamTable.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace tavolin {
namespace {

class ParamTableTest : public ::testing::Test {
 protected:
  std::string Text(int row) {
    char text[kValueTextSize];
    ValueText(editor.ParamTable[static_cast<size_t>(row)], text);
    return text;
  }
  void Select(int row) { editor.CurrentRow = row; }

  Synth synth;
  MasterChain master;
  ParamEditor editor{synth, master};
};

TEST_F(ParamTableTest, RowsInTheirOrderWithTheirLabels) {
  const char* labels[] = {"MasterVol",     "Howling.",          "LPFFact[PgUp]",  "HPFFact[PgUp]",  "DetuneFact[D]",
                          "ringFact[R]",   "rectwFact[Ctrl-2]", "Life[s]",        "MidiLife[s]",    "MidiDrumLife[s]",
                          "Distortion[T]", "ModPower",          "ModFact",        "ModFreq",        "LPFResoCut[Z]",
                          "LPFResoAmp[Z]", "LPFResoSound[X]",   "LPFResoPlus[X]", "LPFResoSndW[X]", "LPFTimedReso[C]",
                          "ONLY CH",       "ArpeggioRate[A]",   "ArpeggioS1",     "ArpeggioS2"};
  for (int r = 0; r < kParamRows; ++r) EXPECT_STREQ(editor.ParamTable[static_cast<size_t>(r)].label, labels[r]);
  EXPECT_EQ(editor.ParamTable[20].value, &synth.params.ONLY_CH);
  EXPECT_EQ(editor.ParamTable[14].value, &synth.params.LPFResoCut);
}

// Fractions are truncated, never rounded.
TEST_F(ParamTableTest, ValueTextsAreTruncated) {
  EXPECT_EQ(Text(4), "0.004");  // DetuneFact 0.004999999888241291
  EXPECT_EQ(Text(0), "1.000");
  EXPECT_EQ(Text(18), "5000.000");
  EXPECT_EQ(Text(22), "4");
  EXPECT_EQ(Text(16), "---");
  Select(7);
  StepParam(editor, -1, false);
  EXPECT_EQ(synth.params.Life.load(), 0.19999999925494194);
  EXPECT_EQ(Text(7), "0.199");
}

TEST_F(ParamTableTest, RealValuesStopAtTheLowerBound) {
  StepParam(editor, -1, false);
  EXPECT_EQ(Text(0), "0.990");
  for (int i = 0; i < 200; ++i) StepParam(editor, -1, false);
  EXPECT_EQ(synth.params.MasterVol.load(), 9.999999747378752e-05);
  EXPECT_EQ(Text(0), "0.000");
  StepParam(editor, +1, false);
  EXPECT_EQ(synth.params.MasterVol.load(), 0.01009999977395637);
  EXPECT_EQ(Text(0), "0.010");
}

TEST_F(ParamTableTest, CtrlStepsByTheBigStepOrTenSteps) {
  Select(14);
  StepParam(editor, +1, true);
  EXPECT_EQ(synth.params.LPFResoCut.load(), 600.0);
  Select(0);
  synth.params.MasterVol.store(0.5);
  StepParam(editor, +1, true);
  EXPECT_EQ(synth.params.MasterVol.load(), 0.5 + 0.09999999776482582);
  Select(22);
  StepParam(editor, +1, true);
  EXPECT_EQ(synth.params.ArpeggioS1.load(), 14.0);
  Select(21);
  StepParam(editor, -1, true);
  EXPECT_EQ(synth.params.ArpeggioRate.load(), 9.999999747378752e-05);  // below the bound: held there
}

// Whole values have no bound; ONLY CH counts as on whenever it is not 0.
TEST_F(ParamTableTest, WholeValuesGoNegative) {
  Select(20);
  EXPECT_FALSE(IsSwitchedOn(editor.ParamTable[20]));
  StepParam(editor, -1, false);
  EXPECT_EQ(synth.params.ONLY_CH.load(), -1.0);
  EXPECT_EQ(Text(20), "-1");
  EXPECT_TRUE(IsSwitchedOn(editor.ParamTable[20]));
}

TEST_F(ParamTableTest, ARowWithoutValueOnlyShowsItsSwitch) {
  Select(16);
  StepParam(editor, +1, false);
  StepParam(editor, +1, true);
  EXPECT_EQ(Text(16), "---");
  EXPECT_FALSE(IsSwitchedOn(editor.ParamTable[16]));
  synth.switches.VoiceResoOn.store(1);
  EXPECT_TRUE(IsSwitchedOn(editor.ParamTable[16]));
  EXPECT_TRUE(IsSwitchedOn(editor.ParamTable[18]));
  EXPECT_FALSE(IsSwitchedOn(editor.ParamTable[0]));  // no switch: never on
  master.LPFOn.store(7);
  EXPECT_TRUE(IsSwitchedOn(editor.ParamTable[2]));
}

TEST_F(ParamTableTest, NegativeValuesShowAMinusBeforeTheMagnitude) {
  synth.params.rectwFact.store(-0.30000003427267075);
  EXPECT_EQ(Text(6), "-0.300");
  synth.params.rectwFact.store(-2.9802322387695312e-08);
  EXPECT_EQ(Text(6), "-0.000");
  synth.params.rectwFact.store(-12.5);
  EXPECT_EQ(Text(6), "-12.500");
  synth.params.rectwFact.store(1e300);  // saturates instead of overflowing
  EXPECT_EQ(Text(6).substr(0, 11), "2147483647.");
}

TEST_F(ParamTableTest, SelectionWrapsAround) {
  Select(23);
  SelectRow(editor, +1);
  EXPECT_EQ(editor.CurrentRow, 0);
  SelectRow(editor, -1);
  EXPECT_EQ(editor.CurrentRow, 23);
  SelectRow(editor, -1);
  EXPECT_EQ(editor.CurrentRow, 22);
}

// The point is written literally, whatever LC_NUMERIC says.
TEST_F(ParamTableTest, TextsDoNotFollowTheLocale) {
  bool commaLocale = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name)) {  // NOLINT(concurrency-mt-unsafe): no other thread runs in this test
      commaLocale = true;
      break;
    }
  }
  if (!commaLocale) GTEST_SKIP() << "no locale with a decimal comma is installed";
  EXPECT_EQ(Text(7), "0.250");
  EXPECT_EQ(Text(4), "0.004");
  std::setlocale(LC_NUMERIC, "C");  // NOLINT(concurrency-mt-unsafe): no other thread runs in this test
}

}  // namespace
}  // namespace tavolin
