// The MIDI input device dialog: its texts, OK without a selection, the
// result numbering, Cancel and the close box.

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/MidiDeviceDialog.h"

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
