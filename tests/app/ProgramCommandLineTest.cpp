// The real program's command line: answers that need no window, usage
// mistakes, a display that is missing or cannot be reached, the sound
// output chosen and listed on a private JACK server, and songs given as
// arguments played as a playlist.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/WaitUntil.h"
#include "tests/app/ProgramProcess.h"
#include "tests/midi/TempFiles.h"
#include "tests/platform/JackAudioCapture.h"
#include "tests/platform/JackServer.h"

namespace tavolin {
namespace {

using test::EnvChanges;
using test::RunProgram;
using test::WaitUntil;

const EnvChanges kNoDisplay = {{"DISPLAY", std::nullopt},
                               {"WAYLAND_DISPLAY", std::nullopt},
                               {"QT_QPA_PLATFORM", std::nullopt},
                               {"XDG_SESSION_TYPE", std::nullopt},
                               {"WAYLAND_SOCKET", std::nullopt}};

EnvChanges With(EnvChanges env, const EnvChanges& more) {
  env.insert(env.end(), more.begin(), more.end());
  return env;
}

bool JackUsable() { return test::ProgramPath() && std::system("command -v jackd > /dev/null") == 0; }

TEST(ProgramCommandLine, AnswersAndMistakesBeforeAnyWindow) {
  if (!test::ProgramPath()) GTEST_SKIP() << "TAVOLIN_BIN is not set";
  struct Case {
    std::vector<std::string> args;
    EnvChanges env;
    int code;
    const char* out;  // expected in stdout
    const char* err;  // expected in stderr
  } cases[] = {
      {{"--help"}, kNoDisplay, 0, "--audio API[:DEVICE]", ""},
      {{"--version"}, kNoDisplay, 0, "tavolin 0.", ""},
      {{"--bogus", "song.mid"}, kNoDisplay, 2, "", "unknown option \"--bogus\"\nusage: tavolin"},
      {{"--midi-port"}, kNoDisplay, 2, "", "usage: tavolin"},
      {{"--audio", "oss4"}, kNoDisplay, 2, "", "unknown sound system \"oss4\""},
      {{}, kNoDisplay, 1, "", "no display found"},
      {{},
       With(kNoDisplay, {{"DISPLAY", ":" + std::to_string(500 + getpid() % 400)}}),
       1,
       "",
       "cannot reach the display"},
      {{},
       With(kNoDisplay, {{"WAYLAND_DISPLAY", "/nonexistent/wayland-0"}}),
       1,
       "",
       "no Wayland compositor at /nonexistent/wayland-0); outside a desktop session, run it under a virtual X "
       "server: xvfb-run -a tavolin (in the source tree: xvfb-run -a make run)"},
      {{"--audio", "alsa:no-such-card"},
       {{"QT_QPA_PLATFORM", "offscreen"}},
       1,
       "",
       "sound system \"alsa\" has no output device"},
  };
  for (const Case& c : cases) {
    const test::Finished run = RunProgram(c.args, c.env);
    const std::string what = c.args.empty() ? "(no arguments)" : c.args.front();
    EXPECT_EQ(run.code, c.code) << what << "\n" << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << what << ": " << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << what << ": " << run.err;
    if (c.code != 0) {
      EXPECT_EQ(run.out, "") << what;
    }
  }
}

TEST(ProgramCommandLine, ListsThePrivateJackServersOutput) {
  if (!JackUsable()) GTEST_SKIP() << "no program or no jackd";
  test::JackServer server("tavolin-list-audio-" + std::to_string(getpid()), 256);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";
  const test::Finished run = test::Patiently([] { return RunProgram({"--list-audio"}, kNoDisplay); },
                                             [](const test::Finished& r) { return r.out.starts_with("jack:"); });
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("jack:system\t2 channels, default\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nnull\t"), std::string::npos) << run.out;
}

// A first song without a note ends at once, so the note heard is the
// second's: the files were opened as a playlist and played on.
TEST(ProgramCommandLine, SongsGivenArePlayedAsAPlaylistOnTheChosenOutput) {
  if (!JackUsable()) GTEST_SKIP() << "no program or no jackd";
  test::JackServer server("tavolin-songs-" + std::to_string(getpid()), 256);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";
  test::TempFiles files;
  using test::Bytes;
  const Bytes endOfTrack = {0x00, 0xFF, 0x2F, 0x00};
  const std::string silent =
      files.Write("silent.mid", test::Smf(0, 480, {test::Cat({{0x00, 0xB0, 7, 100}, endOfTrack})}));
  // One note held for 20 s (120 beats at the default tempo; 57600 ticks).
  const std::string held = files.Write(
      "held.mid", test::Smf(0, 480, {test::Cat({{0x00, 0x90, 57, 127, 0x83, 0xC2, 0x00, 0x80, 57, 0}, endOfTrack})}));

  // The test's client first: one opened while the program opens its own can make the program's fail.
  test::JackAudioCapture capture;
  ASSERT_TRUE(capture.Ok());
  test::Program program({"--audio", "jack", silent, held}, {{"QT_QPA_PLATFORM", "offscreen"}});
  ASSERT_TRUE(WaitUntil([&] { return capture.ConnectFrom("^Tavolin[^:]*:"); })) << "no sound output on JACK";
  EXPECT_TRUE(WaitUntil([&] { return capture.Take().peak > 0.05f; })) << "the second song was not heard";
  EXPECT_EQ(program.Terminate(), 0);
}

TEST(ProgramCommandLine, RunsOnTheNullDeviceWhenAskedTo) {
  if (!test::ProgramPath()) GTEST_SKIP() << "TAVOLIN_BIN is not set";
  std::FILE* err = std::tmpfile();
  const pid_t pid = test::StartProgram({"--audio", "null"}, {{"QT_QPA_PLATFORM", "offscreen"}}, nullptr, err);
  auto said = [&] {
    char text[4096] = {};
    return pread(fileno(err), text, sizeof text - 1, 0) > 0 && std::strstr(text, "(null output device)") != nullptr;
  };
  EXPECT_TRUE(WaitUntil(said));
  kill(pid, SIGTERM);
  EXPECT_EQ(test::WaitForExit(pid), 0);
  std::fclose(err);
}

}  // namespace
}  // namespace tavolin
