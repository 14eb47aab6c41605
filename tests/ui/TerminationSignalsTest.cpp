// The signals that end the program close its window in order, as its close
// button does, so that a running recording is finished.

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <csignal>

#include "ui/TerminationSignals.h"

namespace tavolin {

class TerminationSignalsTest : public QObject {
  Q_OBJECT

 private slots:
  void eachSignalClosesTheWindow() {
    QWidget window;
    CloseOnTerminationSignals(&window);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      window.show();
      QVERIFY(std::raise(signal) == 0);
      QTRY_VERIFY2(!window.isVisible(), qPrintable(QString("signal %1").arg(signal)));
    }
  }

  // An error box open (at start-up, or after a song failed to load) ends
  // too, instead of waiting for the user.
  void aModalBoxIsClosedWithTheWindow() {
    QWidget window;
    CloseOnTerminationSignals(&window);
    window.show();
    QTimer::singleShot(100, [] { std::raise(SIGTERM); });
    bool stillOpen = false;  // a box left open fails the test instead of hanging it
    QTimer::singleShot(10000, [&stillOpen] {
      if (QWidget* box = QApplication::activeModalWidget()) stillOpen = box->close();
    });
    QMessageBox::critical(&window, "Error", "The file could not be read.");
    QVERIFY(!stillOpen);
    QTRY_VERIFY(!window.isVisible());
  }

  // Started under nohup: closing the terminal leaves the program running.
  void anIgnoredHangUpStaysIgnored() {
    std::signal(SIGHUP, SIG_IGN);
    QWidget window;
    CloseOnTerminationSignals(&window);
    struct sigaction now {};
    sigaction(SIGHUP, nullptr, &now);
    QVERIFY(now.sa_handler == SIG_IGN);
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::TerminationSignalsTest)
#include "TerminationSignalsTest.moc"
