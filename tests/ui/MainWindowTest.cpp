#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QTest>
#include <atomic>
#include <thread>

#include "ui/MainWindow.h"
#include "ui/QtWindowPort.h"

namespace tavolin {

class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override { ++paints; }
};

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void titleSizeAndBlackClientArea() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QString("Tavolin - Tavo/the synthesizer test"));
    QVERIFY(window.width() >= 1140);
    QVERIFY(window.height() >= 708);
    const QImage image = window.grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(image.pixelColor(window.width() / 2, window.height() / 2), QColor(Qt::black));
    QCOMPARE(image.pixelColor(window.width() - 1, window.height() - 1), QColor(Qt::black));
  }

  // Repaint requests from another thread reach the window as repaints, and a
  // burst of them does not turn into a burst of paints.
  void repaintRequestsFromAnotherThreadAreCoalesced() {
    PaintCounter widget;
    widget.resize(100, 100);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QTest::qWait(50);
    const int before = widget.paints;
    QtWindowPort port(&widget);
    std::thread audio([&] {
      for (int i = 0; i < 1000; ++i) port.RequestRepaint();
    });
    audio.join();
    QTRY_VERIFY(widget.paints > before);
    QTest::qWait(50);
    QVERIFY(widget.paints - before <= 3);
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::MainWindowTest)
#include "MainWindowTest.moc"
