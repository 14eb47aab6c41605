#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/AudioChoice.h"

namespace tavolin {
namespace {

std::optional<CommandLine> Parse(std::vector<const char*> args, std::string& error) {
  args.insert(args.begin(), "tavolin");
  return ParseCommandLine(static_cast<int>(args.size()), args.data(), error);
}

TEST(CommandLine, OptionsInBothSpellingsAndSongsAnywhere) {
  std::string error;
  const auto none = Parse({}, error);
  EXPECT_EQ(none->midiPort, std::nullopt);
  EXPECT_EQ(none->audio.kind, WaveOutKind::Auto);
  EXPECT_TRUE(none->songs.empty());
  EXPECT_EQ(Parse({"--midi-port", "USB Keys"}, error)->midiPort, "USB Keys");
  EXPECT_EQ(Parse({"--midi-port=virtual"}, error)->midiPort, "virtual");

  const auto all = Parse({"a.mid", "--audio=alsa:hw:1,0", "b.mid", "--", "--c.mid"}, error);
  ASSERT_TRUE(all) << error;
  EXPECT_EQ(all->songs, (std::vector<std::string>{"a.mid", "b.mid", "--c.mid"}));
  EXPECT_EQ(all->audio.kind, WaveOutKind::System);
  EXPECT_EQ(all->audio.api, "alsa");
  EXPECT_EQ(all->audio.device, "hw:1,0");
  EXPECT_EQ(all->action, CommandLine::Action::Run);

  EXPECT_EQ(Parse({"--audio", "null"}, error)->audio.kind, WaveOutKind::Null);
  const auto jack = Parse({"--audio", "jack"}, error);
  EXPECT_EQ(jack->audio.api, "jack");
  EXPECT_EQ(jack->audio.device, "");
  EXPECT_EQ(Parse({"x.mid", "--list-audio"}, error)->action, CommandLine::Action::ListAudio);
  EXPECT_EQ(Parse({"-h"}, error)->action, CommandLine::Action::Help);
  EXPECT_EQ(Parse({"--version"}, error)->action, CommandLine::Action::Version);
  EXPECT_EQ(none->path, OutputPath::Ring) << "the window plays the ring unless told";
  EXPECT_EQ(Parse({"--latency", "low"}, error)->path, OutputPath::Pull);
  EXPECT_EQ(Parse({"--latency=ring"}, error)->path, OutputPath::Ring);
}

TEST(CommandLine, MistakesAreNamed) {
  struct Case {
    std::vector<const char*> args;
    const char* says;
  } cases[] = {
      {{"--midi-port"}, "needs a port name"},
      {{"--midi-port="}, "needs a port name"},
      {{"--midi"}, "unknown option \"--midi\""},
      {{"song.mid", "-"}, "unknown option \"-\""},
      {{"--audio"}, "--audio needs a sound system"},
      {{"--audio", "oss4"}, "unknown sound system \"oss4\" (known: jack"},
      {{"--audio", "alsa:"}, "needs a device name"},
      {{"--latency", "fast"}, "--latency takes low or ring"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, error)) << c.says;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

// Every line the list shows names its device in a form --audio takes back.
TEST(AudioChoice, ListedDevicesCanBeChosenAsListed) {
  const std::vector<SoundSystemOutputs> systems = {
      {"jack", {{"system", 2, true}, {"my synth:in", 1, false}}, ""},
      {"pulse", {}, ""},
      {"alsa", {{"hw:HDA Intel PCH,0", 2, false}}, ""},
  };
  EXPECT_EQ(SoundOutputListing(systems),
            "jack:system\t2 channels, default\n"
            "jack:my synth:in\t1 channel\n"
            "pulse\tno output device\n"
            "alsa:hw:HDA Intel PCH,0\t2 channels\n"
            "null\tthe silent null device\n");
  for (const SoundSystemOutputs& system : systems) {
    for (const SoundOutput& output : system.outputs) {
      std::string error;
      const auto choice = ParseAudioChoice(system.api + ":" + output.name, error);
      ASSERT_TRUE(choice) << error;
      EXPECT_EQ(choice->api, system.api);
      EXPECT_EQ(choice->device, output.name);
    }
  }
}

// A restart opens again what was chosen; for the default choice the kind
// that start-up found, so a sound card is not exchanged for the null device.
TEST(AudioChoice, RestartReopensWhatWasChosen) {
  const WaveOutChoice alsa{WaveOutKind::System, "alsa", "hw:1"};
  const WaveOutChoice reopened = ChoiceToReopen(alsa, WaveOutKind::System);
  EXPECT_EQ(reopened.api, "alsa");
  EXPECT_EQ(reopened.device, "hw:1");
  EXPECT_EQ(ChoiceToReopen({WaveOutKind::Null, {}, {}}, WaveOutKind::Null).kind, WaveOutKind::Null);
  for (WaveOutKind found : {WaveOutKind::System, WaveOutKind::Null}) {
    const WaveOutChoice again = ChoiceToReopen({}, found);
    EXPECT_EQ(again.kind, found);
    EXPECT_EQ(again.api, "");
  }
}

}  // namespace
}  // namespace tavolin
