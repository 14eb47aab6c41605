// The keyboard goes back to the main window when the save and the open
// dialogs close, chosen or cancelled, window manager or not.

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include <mutex>

#include "audio/WaveRing.h"
#include "host/RingPosition.h"
#include "midi/player/Player.h"
#include "platform/Clock.h"
#include "synth/ModulatorHandOff.h"
#include "synth/Synth.h"
#include "ui/PlayerCommands.h"
#include "ui/RecordingCommand.h"
#include "ui/VocoderCommands.h"

namespace tavolin {

// Generous: activation goes through the event queue of a busy machine.
constexpr int kWaitMs = 30000;

class KeyboardReturnTest : public QObject {
  Q_OBJECT

  // Runs a file dialog from an active window that holds the keyboard,
  // cancelling it once it is up; true when the window has the keyboard
  // afterwards.
  template <typename Run>
  static bool KeyboardBackAfter(Run run) {
    QWidget window;
    window.setFocusPolicy(Qt::StrongFocus);
    window.show();
    window.activateWindow();
    window.setFocus();
    if (!QTest::qWaitForWindowActive(&window, kWaitMs) || !window.hasFocus()) return false;
    bool shown = false;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      shown = qobject_cast<QFileDialog*>(dialog) != nullptr;
      if (dialog) dialog->close();
    });
    run(&window);
    return shown && QTest::qWaitForWindowActive(&window, kWaitMs) && window.hasFocus();
  }

 private slots:
  void saveAndOpenDialogsGiveTheKeyboardBack() {
    QVERIFY(KeyboardBackAfter([](QWidget* window) { AskRecordingFile(window); }));
    ModulatorHandOff modulator;
    LoadTurns loads;
    QVERIFY(KeyboardBackAfter([&](QWidget* window) { OpenVocoderWave(modulator, loads, window); }));
    Synth synth;
    WaveRing ring;
    SteadyClock clock;
    std::recursive_mutex lock;
    RingPosition position{ring};
    Player player{synth, position, clock, lock};
    QVERIFY(KeyboardBackAfter([&](QWidget* window) { OpenMidiFileDialog(player, window); }));
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::KeyboardReturnTest)
#include "KeyboardReturnTest.moc"
