// tavolin-headless as a user runs it, on a private JACK server at a period
// of 256 frames, with no display: a keyboard (a MIDI client of the test)
// plugged in after start is connected by --midi-connect and heard at its
// pitch (the MIDI standard's: note 69 is A 440 Hz), unplugged and plugged in
// again it plays again, all notes off ends its note, and SIGTERM ends the
// program cleanly with a valid recording of what was played, beside the
// recording of an earlier run, which is kept.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/WaitUntil.h"
#include "tests/app/ProgramProcess.h"
#include "tests/midi/SmfBytes.h"
#include "tests/midi/TempFiles.h"
#include "tests/platform/JackAudioCapture.h"
#include "tests/platform/JackMidiSender.h"
#include "tests/platform/JackServer.h"
#include "tests/platform/WaveFileBytes.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;

std::string TextOf(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The samples of a finished 16-bit mono WAVE file.
std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  const size_t at = kWaveHeaderBytes;
  std::vector<int16_t> samples((bytes.size() - at) / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(bytes[at + 2 * i] | (bytes[at + 1 + 2 * i] << 8));
  }
  return samples;
}

// The stretches where something sounds, each as [from, to).
std::vector<std::pair<size_t, size_t>> Sounding(const std::vector<int16_t>& samples) {
  constexpr size_t kQuiet = 4410;  // 0.1 s of silence ends a stretch
  std::vector<std::pair<size_t, size_t>> stretches;
  size_t last = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) < 64) continue;
    if (stretches.empty() || i - last > kQuiet) stretches.emplace_back(i, i + 1);
    stretches.back().second = i + 1;
    last = i;
  }
  return stretches;
}

// The fundamental of `n` samples from `from`, by autocorrelation: the
// shortest lag that matches nearly as well as the best one, refined between
// its neighbours.
double PitchAt(const std::vector<int16_t>& s, size_t from, size_t n) {
  auto match = [&](size_t lag) {
    double sum = 0;
    for (size_t i = from; i < from + n; ++i) sum += static_cast<double>(s[i]) * s[i + lag];
    return sum;
  };
  std::vector<double> r(600);
  for (size_t lag = 20; lag < r.size(); ++lag) r[lag] = match(lag);
  const double best = *std::max_element(r.begin(), r.end());
  size_t lag = 21;
  while (lag + 1 < r.size() && !(r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1])) ++lag;
  const double shift = 0.5 * (r[lag - 1] - r[lag + 1]) / (r[lag - 1] - 2 * r[lag] + r[lag + 1]);
  return 44100.0 / (static_cast<double>(lag) + shift);
}

TEST(HeadlessJack, AKeyboardPluggedInLaterIsConnectedAndPlaysAgainAfterReplugging) {
  test::JackServer server("tavolin-headless-test", 256);
  ASSERT_TRUE(server.WaitUntilUp());
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tavolin-headless-test";
  std::filesystem::create_directories(dir);
  // A recording of an earlier run is kept: this one goes beside it.
  const std::filesystem::path earlier = dir / "played.wav", recording = dir / "played-2.wav";
  std::filesystem::remove(recording);
  std::ofstream(earlier, std::ios::trunc) << "an earlier take";
  const std::filesystem::path said = dir / "stderr.txt";
  std::FILE* err = std::fopen(said.c_str(), "w");
  ASSERT_NE(err, nullptr);
  const pid_t pid =
      test::StartProgram({"--audio", "jack", "--midi-connect", "^midi-sender:", "--record", earlier.string()},
                         {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}}, nullptr, err);
  std::fclose(err);
  auto saysTimes = [&](const std::string& what, size_t times) {
    return test::WaitUntil([&] { return Count(TextOf(said), what) >= times; });
  };
  ASSERT_TRUE(saysTimes("connecting sources matching \"^midi-sender:\": none yet", 1)) << TextOf(said);
  EXPECT_NE(TextOf(said).find("period 256 frames"), std::string::npos) << TextOf(said);
  EXPECT_NE(TextOf(said).find("recording to " + recording.string()), std::string::npos) << TextOf(said);

  test::JackAudioCapture heard;
  ASSERT_TRUE(heard.ConnectFrom("Tavolin:"));
  const uint8_t notes[] = {69, 81};  // 440 Hz, then 880 Hz
  for (size_t plugged = 1; plugged <= 2; ++plugged) {
    const uint8_t note = notes[plugged - 1];
    {
      test::JackMidiSender keyboard;
      ASSERT_TRUE(saysTimes("MIDI source connected: midi-sender:out", plugged)) << TextOf(said);
      ASSERT_TRUE(test::WaitUntil([&] { return keyboard.Connected(); }));
      heard.Take();
      ASSERT_TRUE(keyboard.Send({0x90, note, 100}));
      ASSERT_TRUE(test::WaitUntil([&] { return heard.Take().peak > 0.01f; })) << "note " << int(note);
      std::this_thread::sleep_for(300ms);  // only how long it sounds: the pitch is measured in the recording
      // The second note is ended by all notes off (controller 123), as a host's transport stop does.
      ASSERT_TRUE(plugged == 1 ? keyboard.Send({0x80, note, 0}) : keyboard.Send({0xB3, 123, 0}));
      ASSERT_TRUE(test::WaitUntil([&] { return keyboard.Pending() == 0; }));
      std::this_thread::sleep_for(200ms);  // a gap of silence between the two notes
    }
    ASSERT_TRUE(saysTimes("MIDI source lost: midi-sender:out", plugged)) << TextOf(said);
  }

  kill(pid, SIGTERM);
  EXPECT_EQ(test::WaitForExit(pid), 0);
  const std::string text = TextOf(said);
  EXPECT_NE(text.find("s of sound played; underruns:"), std::string::npos) << text;
  EXPECT_NE(text.find("block render time"), std::string::npos) << text;

  EXPECT_EQ(TextOf(earlier), "an earlier take");
  const std::vector<uint8_t> bytes = test::ReadAll(recording.string());
  ASSERT_GT(test::FinishedDataBytes(bytes), 0u) << "a finished file";
  const std::vector<int16_t> samples = Samples(bytes);
  const auto stretches = Sounding(samples);
  ASSERT_EQ(stretches.size(), 2u);
  for (size_t k = 0; k < 2; ++k) {
    const auto [from, to] = stretches[k];
    ASSERT_GT(to - from, 4096u);
    EXPECT_LT(to + 4410, samples.size()) << "note " << k << " still sounds at the end";
    EXPECT_NEAR(PitchAt(samples, from + 1024, 2048), k == 0 ? 440.0 : 880.0, k == 0 ? 4.4 : 8.8);
  }
  std::filesystem::remove_all(dir);
}

// Songs need no MIDI input: with none asked for, or a port that is not
// there (said in one line), the module plays its song into its recording.
TEST(HeadlessProgram, PlaysItsSongsWithoutMidiInput) {
  test::TempFiles files;
  // 500 ticks a quarter at 120 beats a minute: note 69 from 0 for 1.5 s.
  const std::string song =
      files.Write("song.mid", test::Smf(0, 500, {{0, 0x90, 69, 100, 0x8B, 0x5C, 0x80, 69, 0, 0, 0xFF, 0x2F, 0}}));
  for (const std::string port : {"none", "no-such-port"}) {
    const std::string recording = files.Path("take-" + port + ".wav"), said = files.Path("said-" + port + ".txt");
    std::FILE* err = std::fopen(said.c_str(), "w");
    ASSERT_NE(err, nullptr);
    const pid_t pid = test::StartProgram({"--audio", "null", "--midi-port", port, "--record", recording, song},
                                         {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}}, nullptr, err);
    std::fclose(err);
    ASSERT_TRUE(test::WaitUntil([&] { return TextOf(said).find("MIDI input none") != std::string::npos; }))
        << TextOf(said);
    EXPECT_EQ(TextOf(said).find("playing without MIDI input") != std::string::npos, port != "none") << TextOf(said);
    std::this_thread::sleep_for(1s);
    kill(pid, SIGTERM);
    EXPECT_EQ(test::WaitForExit(pid), 0) << TextOf(said);
    const std::vector<int16_t> samples = Samples(test::ReadAll(recording));
    EXPECT_FALSE(Sounding(samples).empty()) << port;
  }
}

}  // namespace
}  // namespace tavolin
