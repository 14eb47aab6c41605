// The unison-saw dialog: the fields' texts, the mirror rule while typing,
// what Apply stores, and where it opens.

#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include "synth/Synth.h"
#include "ui/SawUnisonDialog.h"

namespace tavolin {

namespace {
void Retype(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, text);
}
}  // namespace

class SawUnisonDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheDefaults() {
    Synth synth;
    SawUnisonDialog dialog(nullptr);
    dialog.Attach(synth);
    const char* ratios[] = {"0.980000", "0.990000", "0.995000", "0.998000",
                            "1.002000", "1.005000", "1.010000", "1.020000"};
    for (int k = 0; k < kUnisonSaws; ++k) {
      QCOMPARE(dialog.RatioField(k)->text(), QString(ratios[k]));
      QCOMPARE(dialog.OffsetField(k)->text(), QString::number(2 * k));
    }
  }

  // Each keystroke in an upper ratio rewrites its mirror; the tables wait for Apply.
  void upperRatioMirrorsAsItIsTyped() {
    Synth synth;
    SawUnisonDialog dialog(nullptr);
    dialog.Attach(synth);
    QLineEdit* field = dialog.RatioField(0);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    const struct {
      char key;
      const char* mirror;
    } steps[] = {{'0', "2.000000"}, {'.', "2.000000"}, {'9', "1.100000"}, {'7', "1.030000"}};
    for (const auto& step : steps) {
      QTest::keyClick(field, step.key);
      QCOMPARE(dialog.RatioField(7)->text(), QString(step.mirror));
    }
    QCOMPARE(synth.UnisonRatio[0].load(), static_cast<double>(0.98f));
    Retype(dialog.RatioField(5), "3");  // a lower ratio has no mirror
    QCOMPARE(dialog.RatioField(2)->text(), QString("0.995000"));
  }

  // Enter applies: the texts as written, a cleared ratio as 0, an offset
  // that is not an unsigned whole number as 0.
  void applyStoresWhatTheFieldsShow() {
    Synth synth;
    SawUnisonDialog dialog(nullptr);
    dialog.Attach(synth);
    dialog.show();
    Retype(dialog.RatioField(1), "");
    QCOMPARE(dialog.RatioField(6)->text(), QString("2.000000"));
    Retype(dialog.OffsetField(0), "-3");
    Retype(dialog.OffsetField(1), "abc");
    Retype(dialog.OffsetField(2), "4294967295");
    QTest::keyClick(dialog.OffsetField(2), Qt::Key_Return);
    QCOMPARE(synth.UnisonRatio[0].load(), 0.98);
    QCOMPARE(synth.UnisonRatio[1].load(), 0.0);
    QCOMPARE(synth.UnisonRatio[6].load(), 2.0);
    QCOMPARE(synth.UnisonOffset[0].load(), 0);
    QCOMPARE(synth.UnisonOffset[1].load(), 0);
    QCOMPARE(static_cast<uint32_t>(synth.UnisonOffset[2].load()), 4294967295u);
    QCOMPARE(synth.UnisonOffset[3].load(), 6);
    QVERIFY(dialog.isVisible());
  }

  // It opens beside the main window, never over it, and leaves it the keyboard.
  void opensBesideTheMainWindow() {
    QWidget owner;
    owner.setFocusPolicy(Qt::StrongFocus);
    owner.resize(400, 300);
    const QRect screen = owner.screen()->availableGeometry();
    SawUnisonDialog dialog(&owner);
    for (const int x : {screen.left(), screen.right() + 1 - 400}) {
      owner.move(x, screen.top() + 10);
      owner.show();
      dialog.hide();
      dialog.ShowBeside(&owner);
      QVERIFY(screen.contains(dialog.frameGeometry()));
      QVERIFY(!dialog.frameGeometry().intersects(owner.frameGeometry()));
      QCOMPARE(dialog.y(), owner.y());
      QTRY_VERIFY_WITH_TIMEOUT(owner.hasFocus(), 30000);
    }
  }

  // Right, else left, else at the screen's right edge; kept on the screen.
  void placeBesideKeepsOnTheScreen() {
    const QRect screen(0, 0, 1000, 800);
    const QSize size(200, 300);
    const struct {
      QRect window;
      QPoint at;
    } cases[] = {
        {{100, 50, 500, 400}, {600, 50}},    // room on the right
        {{400, 50, 500, 400}, {200, 50}},    // only on the left
        {{100, 50, 850, 400}, {800, 50}},    // neither: at the right edge
        {{100, 700, 500, 100}, {600, 500}},  // low: raised into the screen
    };
    for (const auto& c : cases) QCOMPARE(PlaceBeside(c.window, size, screen), c.at);
  }

  // Escape only hides: the unapplied text is there when it comes back.
  void closeKeepsUnappliedText() {
    Synth synth;
    SawUnisonDialog dialog(nullptr);
    dialog.Attach(synth);
    dialog.show();
    Retype(dialog.OffsetField(7), "99");
    QTest::keyClick(dialog.OffsetField(7), Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    dialog.ShowBeside(nullptr);
    QCOMPARE(dialog.OffsetField(7)->text(), QString("99"));
    QCOMPARE(synth.UnisonOffset[7].load(), 14);
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::SawUnisonDialogTest)
#include "SawUnisonDialogTest.moc"
