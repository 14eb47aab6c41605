// A program without a window takes its first termination signal when it
// asks, and then lets a second one end it at once.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "platform/SignalWait.h"

namespace tavolin {
namespace {

TEST(SignalWait, TheFirstSignalIsTakenAndASecondEndsTheProcess) {
  for (const int signal : {SIGTERM, SIGINT}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      BlockTerminationSignals();
      raise(signal);
      if (WaitForTerminationSignal(std::chrono::milliseconds(1000)) != signal) _exit(2);
      LetTerminationSignalsThrough();
      raise(signal);
      _exit(0);  // not reached when the second signal ended it
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
  }
}

}  // namespace
}  // namespace tavolin
