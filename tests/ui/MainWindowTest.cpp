#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "audio/Recorder.h"
#include "host/RingPosition.h"
#include "midi/player/Player.h"
#include "platform/MidiInPort.h"
#include "synth/VoiceHandOff.h"
#include "ui/LogWindowCommand.h"
#include "ui/MainWindow.h"
#include "ui/QtWindowPort.h"
#include "ui/SawUnisonDialog.h"

namespace tavolin {

class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override { ++paints; }
};

// The engine state a window works on, with the live keyboard and the cursor in the test's hands.
struct EngineRig final : CursorPort {
  EngineRig() {
    BuildNoteFreqTable(synth.noteFreq);
    ring.WaveData.reset(new int16_t[kRingSamples]());
    AllocateWorkAreas(work);
    window.Attach({{synth, master, ring, work, modulator, clock, {}, {}}, player, recorder, midiIn});
    window.SetLiveInputSource([this] { return live; });
    window.SetCursorPort(this);
  }
  ~EngineRig() override { FreeWorkAreas(work); }

  ScreenPoint Position() override { return cursor; }
  void MoveTo(ScreenPoint point) override { cursor = point; }

  // A key event as X11 delivers it: with the evdev code + 8 as scan code.
  void Key(QEvent::Type type, int qtKey, uint32_t evdev, bool autoRepeat = false,
           Qt::KeyboardModifiers mods = Qt::NoModifier, ulong time = 0) {
    QKeyEvent event(type, qtKey, mods, evdev + 8, 0, 0, QString(), autoRepeat);
    event.setTimestamp(time);
    QCoreApplication::sendEvent(&window, &event);
  }
  // The Z key (evdev 44) at X time `time`, as a busy machine delivers it:
  // never marked auto-repeat.
  void Z(QEvent::Type type, ulong time) { Key(type, Qt::Key_Z, 44, false, Qt::NoModifier, time); }
  void Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPointF at(10, 10);
    QMouseEvent event(type, at, at, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &event);
  }
  int Sounding() const {
    int n = 0;
    for (const VoiceSlot& slot : synth.voices) n += IsActive(slot) ? 1 : 0;
    return n;
  }

  Synth synth;
  MasterChain master;
  WaveRing ring;
  WorkAreas work;
  ModulatorHandOff modulator;
  VirtualClock clock{1000};
  LiveInputs live;
  ScreenPoint cursor{500, 500};
  MainWindow window;
  std::recursive_mutex songLock;
  RingPosition position{ring};
  Player player{synth, position, clock, songLock};
  QtWindowPort port{&window};
  WaveFormat format;
  Recorder recorder{ring, port, format};
  MidiInPort midiIn{[](void*, const uint8_t*, size_t) {}, nullptr};
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

  // X repeats a held key as release+press pairs with one timestamp, which
  // may reach the window after it has gone back to its event loop, or in a
  // burst: one voice, held until the real release.
  void heldPianoKeyKeepsOneVoiceUntilItIsReleased() {
    EngineRig r;
    r.window.KeyRepeat().SetWait(std::chrono::hours(1));
    r.Z(QEvent::KeyPress, 1000);
    for (ulong t = 1660; t < 1860; t += 40) {  // each press late
      r.Z(QEvent::KeyRelease, t);
      QCoreApplication::processEvents();
      r.Z(QEvent::KeyPress, t);
    }
    for (ulong t = 1860; t < 2660; t += 40) {  // a burst
      r.Z(QEvent::KeyRelease, t);
      r.Z(QEvent::KeyPress, t);
    }
    QCOMPARE(r.Sounding(), 1);
    QCOMPARE(r.synth.voices[0].note.load(), 24);
    QCOMPARE(r.synth.voices[0].gate.load(), 1);
    // A real release, then a real press later: a new note.
    r.Z(QEvent::KeyRelease, 3000);
    r.Z(QEvent::KeyPress, 3100);
    QCOMPARE(r.synth.voices[0].gate.load(), 0);
    QCOMPARE(r.synth.voices[1].gate.load(), 1);
    // A release followed by another key is real at once.
    r.Z(QEvent::KeyRelease, 3200);
    r.Key(QEvent::KeyPress, Qt::Key_X, 45, false, Qt::NoModifier, 3200);
    QCOMPARE(r.synth.voices[1].gate.load(), 0);
  }

  // A release that no press follows ends its note by itself.
  void lastReleaseEndsTheNote() {
    EngineRig r;
    r.Z(QEvent::KeyPress, 1000);
    r.Z(QEvent::KeyRelease, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(r.synth.voices[0].gate.load(), 0, 30000);
  }

  // The physical key decides, whatever the layout prints on it; the live
  // Shift state decides the table.
  void keysGoByPhysicalKeyAndLiveModifiers() {
    EngineRig r;
    r.live.shift = true;
    r.Key(QEvent::KeyPress, Qt::Key_ParenRight, 11);  // Shift+0 on a US layout
    QCOMPARE(r.synth.CurrentMode.load(), 9);
    r.Key(QEvent::KeyPress, Qt::Key_Right, 106);
    QCOMPARE(r.window.State()->editor.CurrentRow, 1);
    r.live.shift = false;
    r.Key(QEvent::KeyPress, Qt::Key_Y, 21);  // a German Z key is the Y key here
    QCOMPARE(r.synth.voices[0].note.load(), 21 + 24);
    r.Key(QEvent::KeyPress, Qt::Key_QuoteLeft, 41);  // US '`' plays the yen key's note
    QCOMPARE(r.synth.voices[1].note.load(), 32 + 24);
    r.Key(QEvent::KeyPress, Qt::Key_Apostrophe, 40);  // the US apostrophe plays the ro key's note
    QCOMPARE(r.synth.voices[2].note.load(), 17 + 24);
    // Keypad keys and Alt or AltGr keys do nothing.
    r.Key(QEvent::KeyPress, Qt::Key_Slash, 98, false, Qt::KeypadModifier);
    r.Key(QEvent::KeyPress, Qt::Key_Insert, 82, false, Qt::KeypadModifier);
    r.Key(QEvent::KeyPress, Qt::Key_Z, 44, false, Qt::AltModifier);
    r.Key(QEvent::KeyPress, Qt::Key_At, 16, false, Qt::GroupSwitchModifier);
    QCOMPARE(r.Sounding(), 3);
    QCOMPARE(r.master.HowlingOn.load(), 0);
  }

  // Shift+0 shows the unison dialog and leaves the keyboard with the main
  // window (a piano key then plays); another mode key hides it.
  void modeKeysShowAndHideTheUnisonDialog() {
    EngineRig r;
    r.window.show();
    r.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&r.window));
    r.live.shift = true;
    r.Key(QEvent::KeyPress, Qt::Key_ParenRight, 11);
    QVERIFY(r.window.SawUnison()->isVisible());
    QCOMPARE(QApplication::focusWidget(), &r.window);
    r.Key(QEvent::KeyPress, Qt::Key_Exclam, 2);  // Shift+1
    QVERIFY(!r.window.SawUnison()->isVisible());
  }

  void shiftLOpensAndClosesTheLogWindow() {
    EngineRig r;
    r.live.shift = true;
    r.Key(QEvent::KeyPress, Qt::Key_L, 38);
    QPointer<LogWindow> log = r.window.LogWindows()->Window();
    QVERIFY(log && log->isVisible());
    r.window.LogWindowSink()->Log(0x90, 0x3C, 0x40);
    QTRY_COMPARE_WITH_TIMEOUT(log->count(), 1, 30000);
    r.Key(QEvent::KeyPress, Qt::Key_L, 38);
    QTRY_VERIFY_WITH_TIMEOUT(log.isNull(), 30000);
  }

  void lostFocusReleasesHeldNotes() {
    EngineRig r;
    r.Key(QEvent::KeyPress, Qt::Key_Z, 44);
    r.Key(QEvent::KeyPress, Qt::Key_E, 18);
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(&r.window, &out);
    QCOMPARE(r.synth.voices[0].gate.load(), 0);
    QCOMPARE(r.synth.voices[1].gate.load(), 0);
  }

  void mouseDragBendsAndSpringsBack() {
    EngineRig r;
    r.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    r.cursor.y -= 100;
    r.clock.Advance(60);
    r.Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(r.synth.PitchBend.load(), 0.2);
    QCOMPARE(r.cursor.y, 500);
    r.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(r.synth.PitchBend.load(), 0.0);
  }

  void statusLineAsksTheMidiInputWhetherItIsOpen() {
    EngineRig r;
    const auto open = r.window.State()->Sources(nullptr).midiInputOpen;
    QVERIFY(open);
    QVERIFY(!open());
    QVERIFY(r.window.State()->hooks.toggleMidiInput);
  }

  void paintsTheStatusDisplay() {
    EngineRig r;
    r.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.window));
    const QImage image = r.window.grab().toImage();
    QCOMPARE(image.pixelColor(300, 128), QColor(0, 255, 0));
    QCOMPARE(image.pixelColor(0, 200), QColor(255, 255, 255));
  }

  // Each Delete while the sound server is down reports the stop again: one
  // box while it is open, a new one once it was closed.
  void aNoticeStillOpenIsNotShownAgain() {
    MainWindow window;
    window.show();
    QtWindowPort port(&window);
    const auto notices = [] {
      QList<QMessageBox*> open;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) open.push_back(box);
      }
      return open;
    };
    port.ShowNotice("The sound output stopped.", "Error");
    port.ShowNotice("The sound output stopped.", "Error");
    QCOMPARE(notices().size(), 1);
    port.ShowNotice("Another notice", "Error");
    QCOMPARE(notices().size(), 2);
    for (QMessageBox* box : notices()) box->close();
    port.ShowNotice("The sound output stopped.", "Error");
    QCOMPARE(notices().size(), 1);
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
