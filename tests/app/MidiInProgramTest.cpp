// The real program with `--midi-port virtual` on a private JACK server: a
// JACK client of the test plays notes into its virtual MIDI input port and
// another listens to its sound output. Notes must be heard and end after
// their note-off; SIGTERM must end the program cleanly with input open.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "tests/WaitUntil.h"
#include "tests/platform/JackAudioCapture.h"
#include "tests/platform/JackMidiSender.h"
#include "tests/platform/JackServer.h"

namespace tavolin {
namespace {

using test::WaitUntil;

const char* ProgramPath() { return std::getenv("TAVOLIN_BIN"); }

class Program {
 public:
  explicit Program(const char* path) {
    pid_ = fork();
    if (pid_ == 0) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      execl(path, path, "--midi-port", "virtual", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Ends it as a desktop session would; its exit status.
  int Terminate() {
    kill(pid_, SIGTERM);
    int status = 0;
    const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
};

TEST(MidiInProgram, NotesFromAJackClientAreHeard) {
  if (!ProgramPath()) GTEST_SKIP() << "TAVOLIN_BIN is not set";
  if (std::system("command -v jackd > /dev/null") != 0) GTEST_SKIP() << "jackd is not installed";
  test::JackServer server("tavolin-midi-program-" + std::to_string(getpid()), 256);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";

  Program program(ProgramPath());
  test::JackMidiSender sender;
  test::JackAudioCapture capture;
  ASSERT_TRUE(sender.Ok() && capture.Ok());
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
