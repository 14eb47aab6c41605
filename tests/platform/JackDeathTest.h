#pragma once
// Runs a case against a private JACK server in a process of its own (a gtest
// death test): a crash is among the failures looked for, and libjack's state
// after a server died must not leak into the next case. The case returns
// what went wrong, or nothing; the child exits 0 on success and with
// kNoServer when jackd could not be started at all (the test is skipped).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "JackServer.h"

namespace tavolin::test {

// The child process is a new run of the test program; it is told the server name.
inline constexpr const char* kServerNameVariable = "TAVOLIN_TEST_JACK_SERVER";
inline constexpr int kNoServer = 77;
inline constexpr const char* kNoServerText = "jackd could not be started";

inline const char* JackServerName() { return std::getenv(kServerNameVariable); }

[[noreturn]] inline void RunJackCase(const std::function<std::string()>& body) {
  const std::string failure = body();
  if (!failure.empty()) std::fprintf(stderr, "%s\n", failure.c_str());
  // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread ends the process
  std::exit(failure.empty() ? 0 : failure == kNoServerText ? kNoServer : 1);
}

class JackDeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (std::system("command -v jackd > /dev/null") != 0) GTEST_SKIP() << "jackd is not installed";
    if (JackServerName() == nullptr) {
      // NOLINTNEXTLINE(concurrency-mt-unsafe): before the test starts any thread
      setenv(kServerNameVariable, ("tavolin-test-" + std::to_string(getpid())).c_str(), 1);
    }
  }
  // A server died with a client attached: an idle server of the same name
  // frees the registry slot that it may have kept.
  void TearDown() override {
    if (IsSkipped()) return;
    JackServer idle(JackServerName(), 256);
    idle.WaitUntilUp();
  }

  // Runs the case in a child process, whose stderr must end up saying
  // `success` (or that there was no server: the test is then skipped).
  void RunInChild(const std::function<std::string()>& body, const std::string& success) {
    EXPECT_EXIT(RunJackCase(body), ExitedCleanly, success + "|" + kNoServerText);
    if (lastExitCode == kNoServer) GTEST_SKIP() << kNoServerText;
  }

 private:
  // A clean exit, with or without a server to play to; anything else (a
  // crash, a failure code) fails the test.
  static bool ExitedCleanly(int status) {
    lastExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return lastExitCode == 0 || lastExitCode == kNoServer;
  }

  static inline int lastExitCode = -1;
};

}  // namespace tavolin::test
