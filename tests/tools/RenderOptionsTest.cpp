#include "tools/RenderOptions.h"

#include <gtest/gtest.h>

namespace tavolin {
namespace {

ParsedCommandLine Parse(const std::vector<std::string>& args) { return ParseRenderCommandLine(args); }

TEST(RenderOptions, EveryOptionIsTakenInOrder) {
  const auto p =
      Parse({"--mode", "9", "--set", "ONLY_CH=2", "--set", "MidiLife=0.5", "--on", "LPFOn", "--on", "DetuneOn",
             "--seconds", "1.5", "--quiet", "--vocoder", "voice.wav", "song.mid", "-o", "out.wav"});
  ASSERT_EQ(p.action, RenderAction::Render) << p.error;
  EXPECT_EQ(p.settings.songPath, "song.mid");
  EXPECT_EQ(p.settings.outPath, "out.wav");
  EXPECT_EQ(p.settings.engine.mode, 9);
  ASSERT_EQ(p.settings.engine.params.size(), 2u);
  EXPECT_EQ(p.settings.engine.params[0], (std::pair<std::string, double>{"ONLY_CH", 2.0}));
  EXPECT_EQ(p.settings.engine.params[1], (std::pair<std::string, double>{"MidiLife", 0.5}));
  EXPECT_EQ(p.settings.engine.switches, (std::vector<std::string>{"LPFOn", "DetuneOn"}));
  EXPECT_EQ(p.settings.seconds, 1.5);
  EXPECT_TRUE(p.settings.quiet);
  EXPECT_EQ(p.settings.engine.vocoderPath, "voice.wav");
  EXPECT_FALSE(p.settings.liveInput);
  EXPECT_FALSE(p.settings.exactPositions);
}

TEST(RenderOptions, MidiInAndTheInputsOutsideTheParameterTable) {
  const auto p = Parse({"--midi-in", "keys.mid", "-o", "out.wav", "--set", "PitchBend=-2", "--set", "UnisonRatio7=0",
                        "--set", "UnisonOffset0=4294967295", "--exact-positions"});
  ASSERT_EQ(p.action, RenderAction::Render) << p.error;
  EXPECT_TRUE(p.settings.liveInput);
  EXPECT_TRUE(p.settings.exactPositions);
  EXPECT_EQ(p.settings.numbering, NoteNumbering::LiveInput);
  EXPECT_EQ(p.settings.songPath, "keys.mid");
  ASSERT_EQ(p.settings.engine.params.size(), 3u);
  EXPECT_EQ(p.settings.engine.params[2], (std::pair<std::string, double>{"UnisonOffset0", 4294967295.0}));
}

TEST(RenderOptions, NoteNumberingOfLiveInput) {
  for (const auto& [word, numbering] :
       {std::pair{"standard", NoteNumbering::Standard}, std::pair{"live", NoteNumbering::LiveInput}}) {
    const auto p = Parse({"--midi-in", "keys.mid", "--note-numbering", word, "-o", "out.wav"});
    ASSERT_EQ(p.action, RenderAction::Render) << p.error;
    EXPECT_EQ(p.settings.numbering, numbering);
  }
}

TEST(RenderOptions, EventsHelpAndVersionNeedNoOutput) {
  EXPECT_EQ(Parse({"--events", "song.mid"}).action, RenderAction::PrintEvents);
  EXPECT_EQ(Parse({"song.mid", "--help"}).action, RenderAction::Help);
  EXPECT_EQ(Parse({"--version"}).action, RenderAction::Version);
}

TEST(RenderOptions, MistakesAreUsageErrors) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"song.mid"},                       // no output
      {"a.mid", "b.mid", "-o", "x.wav"},  // two songs
      {"song.mid", "-o"},                 // missing value
      {"song.mid", "-o", "x.wav", "--mode", "15"},
      {"song.mid", "-o", "x.wav", "--mode", "1.5"},
      {"song.mid", "-o", "x.wav", "--set", "Nope=1"},
      {"song.mid", "-o", "x.wav", "--set", "Life"},
      {"song.mid", "-o", "x.wav", "--set", "Life=abc"},
      {"song.mid", "-o", "x.wav", "--set", "Life=nan"},
      {"song.mid", "-o", "x.wav", "--on", "PitchOn"},
      {"song.mid", "-o", "x.wav", "--seconds", "0"},
      {"song.mid", "-o", "x.wav", "--seconds", "-3"},
      {"song.mid", "-o", "x.wav", "--bogus"},
      {"song.mid", "--midi-in", "keys.mid", "-o", "x.wav"},  // a song and live input
      {"--events", "--midi-in", "keys.mid"},
      {"song.mid", "-o", "x.wav", "--exact-positions"},  // placing a song's events
      {"--events", "--exact-positions", "song.mid"},
      {"--midi-in", "keys.mid", "-o", "x.wav", "--note-numbering", "midi"},
      {"--midi-in", "keys.mid", "-o", "x.wav", "--note-numbering"},
      {"song.mid", "-o", "x.wav", "--note-numbering", "live"},  // a song's notes
      {"song.mid", "-o", "x.wav", "--set", "UnisonRatio8=1"},
      {"song.mid", "-o", "x.wav", "--set", "UnisonOffset3=-3"},
      {"song.mid", "-o", "x.wav", "--set", "UnisonOffset3=1.5"},
      {"song.mid", "-o", "x.wav", "--set", "UnisonOffset3=4294967296"},
  };
  for (const auto& args : wrong) {
    const auto p = Parse(args);
    EXPECT_EQ(p.action, RenderAction::UsageError) << ::testing::PrintToString(args);
    EXPECT_FALSE(p.error.empty());
  }
}

}  // namespace
}  // namespace tavolin
