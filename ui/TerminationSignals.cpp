#include "ui/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace tavolin {

namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: the GUI thread does the closing.
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}
}  // namespace

void CloseOnTerminationSignals(QWidget* window) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window = QPointer<QWidget>(window)] {
    char byte;
    [[maybe_unused]] const ssize_t got = read(signalPipe[0], &byte, 1);
    // A modal box (an error, a file dialog) runs an event loop of its own
    // that closing the window does not end: it would wait for the user.
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top != window && top->isModal() && top->isVisible()) top->close();
    }
    if (window) window->close();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    // Started under nohup, a hang-up is to be ignored.
    if (signal == SIGHUP && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace tavolin
