// Which output `--audio API:DEVICE` names.

#include "platform/RtAudioProbe.h"

#include <gtest/gtest.h>

namespace tavolin {
namespace {

TEST(FindOutput, WholeNameFirstThenTheFirstThatContainsIt) {
  const std::vector<RtAudioOutput> outputs = {
      {0, "system2", 2, true}, {1, "system", 2, false}, {2, "USB Audio:playback", 2, false}};
  struct Case {
    const char* wanted;
    std::optional<unsigned int> id;
  } cases[] = {{"system", 1}, {"system2", 0}, {"USB", 2}, {"stem", 0}, {"hdmi", std::nullopt}};
  for (const Case& c : cases) {
    const auto found = FindOutput(RtAudio::UNIX_JACK, outputs, c.wanted);
    ASSERT_EQ(found.has_value(), c.id.has_value()) << c.wanted;
    if (found) {
      EXPECT_EQ(found->id, *c.id) << c.wanted;
    }
  }
  // A card number that names no card falls back to the name's text.
  EXPECT_FALSE(FindOutput(RtAudio::LINUX_ALSA, outputs, "hw:97,0"));
}

}  // namespace
}  // namespace tavolin
