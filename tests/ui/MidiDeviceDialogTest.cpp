// The MIDI input device dialog: its texts, its size by the dialogs' rule, OK
// without a selection, the result numbering, Cancel and the close box.

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/MidiDeviceDialog.h"
#include "ui/SawUnisonDialog.h"

namespace tavolin {

class MidiDeviceDialogTest : public QObject {
  Q_OBJECT

  // Runs the dialog as the main window does, acting on it once it is up.
  template <typename Act>
  static int RunWith(Act act) {
    MidiDeviceDialog* shown = nullptr;
    QTimer::singleShot(0, [&] {
      shown = qobject_cast<MidiDeviceDialog*>(QApplication::activeModalWidget());
      if (shown) act(*shown);
    });
    const int result = AskMidiInputLine({"In A", "In B", "In C"}, nullptr);
    return shown ? result : -1;
  }

 private slots:
  void textsAndUnsortedLines() {
    MidiDeviceDialog dialog({"Zeta", "Alpha"}, nullptr);
    QCOMPARE(dialog.windowTitle(), QString("Select MIDI IN device!"));
    QCOMPARE(dialog.OkButton()->text(), QString("OK"));
    QCOMPARE(dialog.CancelButton()->text(), QString::fromUtf8("ｷｬﾝｾﾙ"));
    QCOMPARE(dialog.List()->count(), 2);
    QCOMPARE(dialog.List()->item(0)->text(), QString("Zeta"));
    QVERIFY(dialog.List()->selectedItems().isEmpty());
    QVERIFY(dialog.OkButton()->isDefault());
  }

  // Both dialogs: dialog units of one font, a quarter of the letters'
  // rounded average width across and an eighth of the height down, each
  // corner mapped on its own.
  void bothDialogsSizedInUnitsOfTheDialogFont() {
    MidiDeviceDialog devices({}, nullptr);
    SawUnisonDialog saws(nullptr);
    QCOMPARE(devices.font(), saws.font());
    const QFontMetrics metrics(devices.font());
    const int baseX = (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") + 26) / 52;
    const auto x = [&](int units) { return (units * baseX + 2) / 4; };
    const auto y = [&](int units) { return (units * metrics.height() + 4) / 8; };
    QCOMPARE(devices.size(), QSize(x(187), y(93)));
    QCOMPARE(saws.size(), QSize(x(134), y(159)));
    QCOMPARE(devices.CancelButton()->geometry(), QRect(x(130), y(24), x(180) - x(130), y(38) - y(24)));
  }

  void okWithoutSelectionStaysOpenThenTheChosenLinePlusOne() {
    bool stayedOpen = false;
    const int result = RunWith([&](MidiDeviceDialog& d) {
      d.OkButton()->click();
      stayedOpen = d.isVisible();
      d.List()->setCurrentRow(2);
      d.OkButton()->click();
    });
    QVERIFY(stayedOpen);
    QCOMPARE(result, 3);
  }

  void enterTakesTheSelection() {
    QCOMPARE(RunWith([](MidiDeviceDialog& d) {
               d.List()->setCurrentRow(0);
               QTest::keyClick(&d, Qt::Key_Return);
             }),
             1);
  }

  void cancelEscapeAndCloseBoxGiveZero() {
    QCOMPARE(RunWith([](MidiDeviceDialog& d) {
               d.List()->setCurrentRow(1);
               d.CancelButton()->click();
             }),
             0);
    QCOMPARE(RunWith([](MidiDeviceDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), 0);
    QCOMPARE(RunWith([](MidiDeviceDialog& d) {
               d.List()->setCurrentRow(1);
               d.close();
             }),
             0);
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::MidiDeviceDialogTest)
#include "MidiDeviceDialogTest.moc"
