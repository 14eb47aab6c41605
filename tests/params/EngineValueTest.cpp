// Names to engine values: each kind found by its name and set as the
// command line and the plugin set it.

#include "params/EngineValue.h"

#include <gtest/gtest.h>

#include "audio/MasterChain.h"
#include "synth/Synth.h"

namespace tavolin {
namespace {

TEST(EngineValue, EachKindIsFoundByItsNameAndSet) {
  Synth synth;
  MasterChain master;
  auto set = [&](std::string_view name, double value) {
    const EngineValue found = EngineValue::Find(synth, master, name);
    EXPECT_TRUE(found.Found()) << name;
    found.Set(value);
  };
  set("LPFResoCut", 1234.5);
  set("PitchShift", -7.25);
  set("UnisonOffset3", 4294967295.0);
  set("DetuneOn", 1);
  set("HPFOn", 0.6);
  set("mode", 6.4);
  EXPECT_EQ(synth.params.LPFResoCut.load(), 1234.5);
  EXPECT_EQ(synth.PitchShift.load(), -7.25);
  EXPECT_EQ(synth.UnisonOffset[3].load(), -1);
  EXPECT_EQ(synth.switches.DetuneOn.load(), 1);
  EXPECT_EQ(master.HPFOn.load(), 1);
  EXPECT_EQ(synth.CurrentMode.load(), 6);
  set("DetuneOn", 0.5);  // a toggle is on above its middle only
  EXPECT_EQ(synth.switches.DetuneOn.load(), 0);

  for (const std::string_view unknown : {"", "Mode", "UnisonRatio8", "numbering", "lpfresocut"}) {
    const EngineValue none = EngineValue::Find(synth, master, unknown);
    EXPECT_FALSE(none.Found()) << unknown;
    none.Set(1);  // changes nothing
  }
  EXPECT_EQ(synth.CurrentMode.load(), 6);
}

}  // namespace
}  // namespace tavolin
