#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavolin {
namespace {

std::optional<CommandLine> Parse(std::vector<const char*> args, std::string& error) {
  args.insert(args.begin(), "tavolin");
  return ParseCommandLine(static_cast<int>(args.size()), args.data(), error);
}

TEST(CommandLine, MidiPortInBothSpellings) {
  std::string error;
  EXPECT_EQ(Parse({}, error)->midiPort, std::nullopt);
  EXPECT_EQ(Parse({"--midi-port", "USB Keys"}, error)->midiPort, "USB Keys");
  EXPECT_EQ(Parse({"--midi-port=virtual"}, error)->midiPort, "virtual");
}

TEST(CommandLine, MistakesAreNamed) {
  struct Case {
    std::vector<const char*> args;
    const char* says;
  } cases[] = {
      {{"--midi-port"}, "needs a port name"},
      {{"--midi-port="}, "needs a port name"},
      {{"--midi"}, "unknown argument \"--midi\""},
      {{"song.mid"}, "unknown argument \"song.mid\""},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, error)) << c.says;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace tavolin
