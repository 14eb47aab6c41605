// The log window: lines from the sink, one scroll per batch to the newest
// line, the bound on its lines, the "Clear" menu, and a new empty window
// after a close.

#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

#include "ui/LogWindowCommand.h"

namespace tavolin {

class LogWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void opensAtItsPlaceAndShowsMessagesAsHex() {
    QWidget owner;
    LogWindowCommand log(&owner);
    log.Toggle();
    LogWindow* window = log.Window();
    QVERIFY(window && window->isWindow());
    QCOMPARE(window->windowTitle(), QString("Log window"));
    QCOMPARE(window->pos(), QPoint(300, 200));
    log.Sink()->Log(0x90, 0x3C, 0x40);
    log.Sink()->Log(0x80, 0x0A, 0x00);
    QTRY_COMPARE_WITH_TIMEOUT(window->count(), 2, 30000);
    QCOMPARE(window->item(0)->text(), QString("90: 3C 40"));
    QCOMPARE(window->item(1)->text(), QString("80: 0A 00"));
  }

  void newestLineInViewAfterThousandsAndNothingSelected() {
    QWidget owner;
    LogWindowCommand log(&owner);
    log.Toggle();
    LogWindow* window = log.Window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    constexpr int kBatches = 4, kPerBatch = 5000;
    for (int b = 0; b < kBatches; ++b) {
      for (int i = 0; i < kPerBatch; ++i) log.Sink()->Log(0xB0, static_cast<uint8_t>(b), static_cast<uint8_t>(i));
      QTRY_COMPARE_WITH_TIMEOUT(window->count(), (b + 1) * kPerBatch, 30000);
    }
    QListWidgetItem* last = window->item(window->count() - 1);
    QCOMPARE(last->text(), QString("B0: 03 87"));  // 4999 = 0x1387, low byte
    QVERIFY(window->viewport()->rect().contains(window->visualItemRect(last)));
    QCOMPARE(window->verticalScrollBar()->value(), window->verticalScrollBar()->maximum());
    QVERIFY(window->selectedItems().isEmpty());
  }

  void fullRingSaysHowManyWereNotShown() {
    QWidget owner;
    LogWindowCommand log(&owner);
    log.Toggle();
    for (size_t i = 0; i < MidiLogRing::kCapacity + 3; ++i) log.Sink()->Log(0xF8, 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(log.Window()->count(), static_cast<int>(MidiLogRing::kCapacity) + 1, 30000);
    QCOMPARE(log.Window()->item(log.Window()->count() - 1)->text(), QString("(3 messages not shown)"));
  }

  // A log that never stops keeps its newest lines and says in one line how
  // many went; the caret follows the newest line; "Clear" starts afresh.
  void keepsTheNewestLinesWithTheCaretOnTheLast() {
    QWidget owner;
    LogWindow window(&owner);
    QStringList lines;
    for (int i = 0; i < LogWindow::kMaxLines; ++i) lines.append(QString::number(i));
    window.AppendLines(lines);
    QCOMPARE(window.count(), LogWindow::kMaxLines);
    QCOMPARE(window.currentRow(), LogWindow::kMaxLines - 1);
    window.AppendLines({"a", "b"});
    window.AppendLines({"c"});
    QCOMPARE(window.count(), LogWindow::kMaxLines + 1);
    QCOMPARE(window.item(0)->text(), QString("(3 older lines dropped: the window keeps the newest 100000)"));
    QCOMPARE(window.item(1)->text(), QString("3"));
    QCOMPARE(window.currentItem()->text(), QString("c"));
    QVERIFY(window.selectedItems().isEmpty());
    window.findChild<QMenu*>()->actions()[0]->trigger();
    window.AppendLines({"d"});
    QCOMPARE(window.count(), 1);
    QCOMPARE(window.currentRow(), 0);
  }

  void rightClickMenuClearsTheList() {
    QWidget owner;
    LogWindowCommand log(&owner);
    log.Toggle();
    LogWindow* window = log.Window();
    window->AppendLines({"90: 3C 40", "80: 3C 00"});
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(-1500, -20));
    QCoreApplication::sendEvent(window->viewport(), &click);
    auto* menu = window->findChild<QMenu*>();
    QVERIFY(menu && menu->isVisible());
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions()[0]->text(), QString("Clear"));
    menu->hide();  // dismissed: nothing changes
    QCOMPARE(window->count(), 2);
    menu->actions()[0]->trigger();
    QCOMPARE(window->count(), 0);
  }

  // Closed by the close box: messages meanwhile are dropped, Shift+L opens
  // a new empty window, and the next Shift+L closes it.
  void closeBoxThenToggleOpensANewEmptyWindow() {
    QWidget owner;
    LogWindowCommand log(&owner);
    log.Toggle();
    QPointer<LogWindow> first = log.Window();
    log.Sink()->Log(0x90, 1, 1);
    QTRY_COMPARE_WITH_TIMEOUT(first->count(), 1, 30000);
    first->close();
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 30000);
    log.Sink()->Log(0x90, 2, 2);
    log.Toggle();
    QVERIFY(log.Window() && log.Window()->isVisible());
    log.Sink()->Log(0x90, 3, 3);
    QTRY_COMPARE_WITH_TIMEOUT(log.Window()->count(), 1, 30000);
    QCOMPARE(log.Window()->item(0)->text(), QString("90: 03 03"));
    QPointer<LogWindow> second = log.Window();
    log.Toggle();
    QVERIFY(!log.Window());
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 30000);
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::LogWindowTest)
#include "LogWindowTest.moc"
