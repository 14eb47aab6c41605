// The real program with `--midi-port virtual` on a private JACK server: a
// JACK client of the test plays notes into its virtual MIDI input port and
// another listens to its sound output. Notes must be heard and end after
// their note-off; SIGTERM must end the program cleanly with input open.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/WaitUntil.h"
#include "tests/app/ProgramProcess.h"
#include "tests/platform/JackAudioCapture.h"
#include "tests/platform/JackMidiSender.h"
#include "tests/platform/JackServer.h"

namespace tavolin {
namespace {

using test::WaitUntil;

TEST(MidiInProgram, NotesFromAJackClientAreHeard) {
  if (!test::ProgramPath()) GTEST_SKIP() << "TAVOLIN_BIN is not set";
  if (std::system("command -v jackd > /dev/null") != 0) GTEST_SKIP() << "jackd is not installed";
  test::JackServer server("tavolin-midi-program-" + std::to_string(getpid()), 256);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";

  // The test's clients first: one opened while the program opens its own can make the program's fail.
  test::JackMidiSender sender;
  test::JackAudioCapture capture;
  ASSERT_TRUE(sender.Ok() && capture.Ok());
  test::Program program({"--midi-port", "virtual"}, {{"QT_QPA_PLATFORM", "offscreen"}});
  ASSERT_TRUE(WaitUntil([&] { return sender.ConnectTo("^Tavolin[^:]*:MIDI in$"); })) << "no virtual MIDI port";
  ASSERT_TRUE(WaitUntil([&] { return capture.ConnectFrom("^Tavolin[^:]*:"); })) << "no sound output";

  // Silent over many cycles before any note, and again once the note-off has
  // let the voice die away (it sounds on for its release time).
  auto silent = [&] {
    test::JackAudioCapture::Window total;
    return WaitUntil([&] {
      const auto w = capture.Take();
      total.cycles = w.peak < 1e-4f ? total.cycles + w.cycles : 0;
      return total.cycles >= 200;
    });
  };
  auto heard = [&] { return WaitUntil([&] { return capture.Take().peak > 0.05f; }); };
  ASSERT_TRUE(silent());
  for (int note : {45, 60}) {
    ASSERT_TRUE(sender.Send({0x91, static_cast<uint8_t>(note), 127}));
    EXPECT_TRUE(heard()) << note;
    ASSERT_TRUE(sender.Send({0x81, static_cast<uint8_t>(note), 0}));
    EXPECT_TRUE(silent()) << note;
  }
  ASSERT_TRUE(sender.Send({0x90, 50, 100}));  // still sounding at the end
  EXPECT_TRUE(heard());
  EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
}  // namespace tavolin
