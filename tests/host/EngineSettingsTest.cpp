#include "host/EngineSettings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <set>

#include "host/App.h"
#include "params/EngineSwitches.h"

namespace tavolin {
namespace {

// An engine not started up, as the settings find it; no window is shown.
struct Engine final : WindowPort {
  void RequestRepaint() override {}
  void ShowError(std::string_view, std::string_view) override {}

  VirtualClock clock;
  std::unique_ptr<App> app = std::make_unique<App>(*this, clock);

  // Which of the ten switches are on, by their place in the synth and the master chain.
  std::set<int> SwitchesOn() const {
    const EngineSwitches& s = app->synth.switches;
    const MasterChain& m = app->master;
    const std::atomic<int32_t>* all[] = {&s.DetuneOn,  &s.RingOn,       &s.VoiceResoOn, &s.TimedResoOn, &s.ArpeggioOn,
                                         &m.HowlingOn, &m.DistortionOn, &m.LPFResoOn,   &m.LPFOn,       &m.HPFOn};
    std::set<int> on;
    for (int k = 0; k < 10; ++k) {
      if (all[k]->load() != 0) on.insert(k);
    }
    return on;
  }
};

// Each name --on takes turns on one switch of its own, and the help lists it.
TEST(EngineSettings, EverySwitchNameTurnsOnItsOwnSwitch) {
  ASSERT_EQ(EngineSwitchNames().size(), 10u);
  std::set<int> reached;
  for (const std::string& name : EngineSwitchNames()) {
    Engine e;
    EngineSettings settings;
    settings.switches = {name};
    ApplyEngineSettings(*e.app, settings);
    const std::set<int> on = e.SwitchesOn();
    ASSERT_EQ(on.size(), 1u) << name;
    reached.insert(*on.begin());
    const std::string_view help = EngineOptionsHelp();
    const size_t at = help.find(" " + name);
    EXPECT_TRUE(at != std::string_view::npos && std::isalpha(help[at + 1 + name.size()]) == 0) << name;
  }
  EXPECT_EQ(reached.size(), 10u);
}

// Table rows and the inputs outside the table, in order: the last of two wins.
TEST(EngineSettings, ModeAndValuesReachTheEngine) {
  Engine e;
  EngineSettings settings;
  settings.mode = 9;
  settings.params = {{"MidiLife", 0.25},
                     {"PitchBend", -2.0},
                     {"UnisonOffset3", 4294967295.0},
                     {"UnisonRatio7", 0.5},
                     {"MidiLife", 0.5}};
  ApplyEngineSettings(*e.app, settings);
  const Synth& synth = e.app->synth;
  EXPECT_EQ(synth.CurrentMode.load(), 9);
  EXPECT_EQ(synth.params.MidiLife.load(), 0.5);
  EXPECT_EQ(synth.PitchBend.load(), -2.0);
  EXPECT_EQ(synth.UnisonOffset[3].load(), -1) << "the offset's 32 bits, unsigned";
  EXPECT_EQ(synth.UnisonRatio[7].load(), 0.5);
  EXPECT_TRUE(e.SwitchesOn().empty());
}

TEST(EngineSettings, AVocoderFileThatCannotBeUsedIsReportedUnderTheProgramsName) {
  Engine e;
  EngineSettings settings;
  EXPECT_TRUE(InstallEngineVocoder(*e.app, settings, "tavolin-headless")) << "no file, nothing to do";
  settings.vocoderPath = "/nonexistent/voice.wav";
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(InstallEngineVocoder(*e.app, settings, "tavolin-headless"));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.rfind("tavolin-headless: ", 0), 0u) << said;
  EXPECT_FALSE(e.app->modulator.Loaded());
}

}  // namespace
}  // namespace tavolin
