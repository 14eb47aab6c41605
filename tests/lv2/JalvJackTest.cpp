// The plugin in a real host on a private JACK dummy server: jalv runs the
// bundle at 44100 and at 48000 Hz, a MIDI client of the test plays note 69
// into it, and what comes out is 440 Hz.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Tone.h"
#include "tests/WaitUntil.h"
#include "tests/app/ProgramProcess.h"
#include "tests/platform/JackAudioCapture.h"
#include "tests/platform/JackMidiSender.h"
#include "tests/platform/JackServer.h"

namespace tavolin {
namespace {

class JalvJack : public testing::TestWithParam<unsigned int> {};

TEST_P(JalvJack, PlaysANoteAtItsPitch) {
  if (std::system("command -v jalv > /dev/null") != 0) GTEST_SKIP() << "jalv is not installed";
  const unsigned int rate = GetParam();
  test::JackServer server("tavolin-jalv-test", 256, rate, /*synchronous=*/false);
  ASSERT_TRUE(server.WaitUntilUp());
  // The test's clients first: a client opened while jalv opens its own may wait for minutes.
  test::JackAudioCapture heard(10 * rate);
  test::JackMidiSender keyboard;
  ASSERT_TRUE(heard.Ok() && keyboard.Ok());
  // jalv reads commands from its input and ends at its end: it gets one that stays open.
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  const pid_t jalv =
      test::StartProgram({"-n", "tavolin-jalv", "-c", "mode=6", "urn:tavolin:synth"},
                         {{"LV2_PATH", TAVOLIN_LV2_BUNDLES}}, nullptr, nullptr, input[0], "/usr/bin/jalv");
  close(input[0]);
  // Gone before the test's clients close, should the test stop early.
  const std::unique_ptr<const pid_t, void (*)(const pid_t*)> killed(&jalv, [](const pid_t* pid) {
    if (kill(*pid, SIGKILL) == 0) waitpid(*pid, nullptr, 0);
  });
  ASSERT_TRUE(test::WaitUntil([&] { return heard.ConnectFrom("^tavolin-jalv:out$", 1); })) << "no plugin output";
  ASSERT_TRUE(test::WaitUntil([&] { return keyboard.ConnectTo("^tavolin-jalv:midi_in$"); })) << "no MIDI input";
  // An asynchronous server goes on without a late client, and a note sent
  // in that cycle is lost: played again until it is heard.
  ASSERT_TRUE(test::WaitUntil([&] {
    if (!keyboard.Send({0x90, 69, 100})) return false;
    return test::WaitUntil([&] { return heard.Take().peak > 0.01f; }, std::chrono::milliseconds(500));
  }));
  const size_t heardAt = heard.KeptCount();
  ASSERT_LT(heardAt, 9 * rate);
  ASSERT_TRUE(test::WaitUntil([&] { return heard.KeptCount() >= heardAt + 3 * rate / 2; }));

  // Cycles the capture or jalv was late for leave gaps in what was kept.
  const std::vector<float> samples = heard.Kept();
  const auto onset = std::find_if(samples.begin(), samples.end(), [](float s) { return std::fabs(s) > 1e-3f; });
  ASSERT_LT(onset + rate * 11 / 10, samples.end()) << "the note was not heard for a second";
  const std::span second(onset + rate / 10, onset + rate * 11 / 10);
  EXPECT_GT(test::Measure(second, rate).rms, 0.05);
  EXPECT_NEAR(test::PitchAcrossGaps(second, rate), 440.0, 0.1);

  kill(jalv, SIGTERM);
  close(input[1]);
  EXPECT_EQ(test::WaitForExit(jalv), 0);
}

INSTANTIATE_TEST_SUITE_P(Rates, JalvJack, testing::Values(44100u, 48000u));

}  // namespace
}  // namespace tavolin
