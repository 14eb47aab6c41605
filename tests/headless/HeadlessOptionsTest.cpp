#include "headless/HeadlessOptions.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tavolin {
namespace {

std::optional<HeadlessOptions> Parse(std::vector<const char*> args, std::string& error) {
  args.insert(args.begin(), "tavolin-headless");
  return ParseHeadlessOptions(static_cast<int>(args.size()), args.data(), error);
}

TEST(HeadlessOptions, TheSoundModulePullsUnlessToldAndTakesTheRenderersSettings) {
  std::string error;
  const auto none = Parse({}, error);
  ASSERT_TRUE(none) << error;
  EXPECT_EQ(none->program.path, OutputPath::Pull);
  EXPECT_EQ(none->midiConnect, std::nullopt);
  EXPECT_EQ(none->numbering, NoteNumbering::Standard);
  EXPECT_EQ(Parse({"--latency", "ring"}, error)->program.path, OutputPath::Ring);
  EXPECT_EQ(Parse({"--note-numbering", "live"}, error)->numbering, NoteNumbering::LiveInput);

  const auto all = Parse({"--midi-connect", "USB|a2j", "--record=out.wav", "--on", "LPFOn", "--mode", "9", "--set",
                          "Life=2", "--audio", "null", "song.mid"},
                         error);
  ASSERT_TRUE(all) << error;
  EXPECT_EQ(all->midiConnect, "USB|a2j");
  EXPECT_EQ(all->recordPath, "out.wav");
  EXPECT_EQ(all->engine.switches, std::vector<std::string>{"LPFOn"});
  EXPECT_EQ(all->engine.mode, 9);
  EXPECT_EQ(all->engine.params.size(), 1u);
  EXPECT_EQ(all->program.audio.kind, WaveOutKind::Null);
  EXPECT_EQ(all->program.songs, std::vector<std::string>{"song.mid"});
}

TEST(HeadlessOptions, MistakesAreNamed) {
  struct Case {
    std::vector<const char*> args;
    const char* says;
  } cases[] = {
      {{"--midi-connect", "(USB"}, "is not a regular expression"},
      {{"--midi-connect="}, "--midi-connect needs a pattern"},
      {{"--record"}, "--record needs a file name"},
      {{"--on", "Loud"}, "unknown switch Loud"},
      {{"--note-numbering", "midi"}, "--note-numbering takes standard or live"},
      {{"--seconds", "3"}, "unknown option \"--seconds\""},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, error)) << c.says;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

// The help puts together the options shared with the window, the renderer's
// and its own: their meanings start in one column.
TEST(HeadlessOptions, HelpLinesUpEveryOptionsMeaning) {
  std::istringstream help(HeadlessHelp());
  std::set<size_t> columns;
  for (std::string line; std::getline(help, line);) {
    const size_t meaning = line.find("  ", 4);
    if (line.starts_with("  --") && meaning != std::string::npos) columns.insert(line.find_first_not_of(' ', meaning));
  }
  EXPECT_EQ(columns.size(), 1u) << HeadlessHelp();
}

}  // namespace
}  // namespace tavolin
