#include "platform/SignalWait.h"

#include <pthread.h>

#include <cerrno>
#include <csignal>

namespace tavolin {

namespace {

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    if (signal == SIGHUP && before.sa_handler == SIG_IGN) continue;
    sigaddset(&set, signal);
  }
  return set;
}

// Taken once, so that the wait asks for the signals that were blocked.
const sigset_t& Blocked() {
  static const sigset_t set = TerminationSet();
  return set;
}

}  // namespace

void BlockTerminationSignals() { pthread_sigmask(SIG_BLOCK, &Blocked(), nullptr); }

void LetTerminationSignalsThrough() { pthread_sigmask(SIG_UNBLOCK, &Blocked(), nullptr); }

int WaitForTerminationSignal(std::chrono::milliseconds timeout) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  const timespec wait{static_cast<time_t>(seconds.count()),
                      static_cast<long>(std::chrono::nanoseconds(timeout - seconds).count())};
  for (;;) {
    const int signal = sigtimedwait(&Blocked(), nullptr, &wait);
    if (signal > 0) return signal;
    if (errno != EINTR) return 0;  // EAGAIN: the time ran out
  }
}

}  // namespace tavolin
