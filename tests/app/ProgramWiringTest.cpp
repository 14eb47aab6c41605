// The program as `main` wires it (RunProgram), driven from inside its event
// loop: every key the README lists as a command reaches the hook the window
// connected; Shift+M opens the port dialog, or closes an open input and the
// status line says so; the virtual MIDI port keeps its name beside a JACK
// sound output; a failed start-up ends with exit code 1.

#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/Program.h"
#include "platform/Keys.h"
#include "tests/WaitUntil.h"
#include "tests/platform/JackMidiSender.h"
#include "tests/platform/JackServer.h"
#include "tests/ui/StatusText.h"
#include "ui/WindowState.h"

namespace tavolin {

namespace {

// Closes each modal box or dialog as it comes up and keeps its title.
class ModalCloser {
 public:
  ModalCloser() {
    timer_.callOnTimeout([this] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        titles.push_back(dialog->windowTitle());
        dialog->reject();
      }
    });
    timer_.start(10);
  }
  QStringList titles;

 private:
  QTimer timer_;
};

// Runs the program with `args`; `during` runs inside its event loop once the
// window is linked to the engine, and then the window is closed.
int RunWith(std::vector<const char*> args, const std::function<void(MainWindow&)>& during) {
  args.insert(args.begin(), "tavolin");
  std::string mistake;
  const auto options = ParseCommandLine(static_cast<int>(args.size()), args.data(), mistake);
  if (!options) return -1;
  QTimer linked;
  linked.callOnTimeout([&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* window = qobject_cast<MainWindow*>(widget);
      if (window && window->State()) {
        linked.stop();
        during(*window);
        window->close();
        return;
      }
    }
  });
  linked.start(10);
  return RunProgram(*options);
}

void PressShifted(MainWindow& window, uint8_t vk) {
  KeyContext keys = window.State()->Keys();
  KeyDown(keys, vk, true, false);
}

bool StatusShows(MainWindow& window, const char* text) {
  window.RefreshStatus();
  return ShowsText(window.grab().toImage(), 600, 619, text);
}

bool JackUsable() { return std::system("command -v jackd > /dev/null") == 0; }

// No JACK server of anyone else's is found: a private name that none runs.
void AwayFromEveryJackServer() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): no JACK client is open meanwhile
  setenv("JACK_DEFAULT_SERVER", ("tavolin-none-" + std::to_string(getpid())).c_str(), 1);
}

}  // namespace

class ProgramWiringTest : public QObject {
  Q_OBJECT

 private slots:
  void everyCommandKeyReachesItsHook() {
    AwayFromEveryJackServer();
    struct HookedKey {
      const char* name;
      uint8_t vk;
      bool shift;
      std::function<void()> KeyHooks::*hook;
    };
    // clang-format off
    const HookedKey keys[] = {
        {"F9", VK_F1 + 8, false, &KeyHooks::openMidiFile},
        {"F11", VK_F1 + 10, false, &KeyHooks::closeMidiFile},
        {"Space", VK_SPACE, false, &KeyHooks::playSong},
        {"Return", VK_RETURN, false, &KeyHooks::stopSong},
        {"Right", VK_RIGHT, false, &KeyHooks::skipAhead},
        {"Page Down", VK_NEXT, false, &KeyHooks::nextPlaylistFile},
        {"Shift+M", 'M', true, &KeyHooks::toggleMidiInput},
        {"Shift+L", 'L', true, &KeyHooks::toggleLogWindow},
        {"Shift+W", 'W', true, &KeyHooks::toggleRecording},
        {"Shift+VK_OEM_5", VK_OEM_5, true, &KeyHooks::openVocoderWave},
        {"Shift+VK_OEM_7", VK_OEM_7, true, &KeyHooks::startVocoder},
    };
    // clang-format on
    ModalCloser modals;
    const int code = RunWith({"--audio", "null"}, [&](MainWindow& window) {
      // Shift+M as the user has it: with input closed, the port dialog.
      PressShifted(window, 'M');
      QCOMPARE(modals.titles, QStringList{"Select MIDI IN device!"});
      QVERIFY(StatusShows(window, "MIDI-IN[M]: Sleep"));

      KeyHooks& hooks = window.State()->hooks;
      std::vector<int> calls(std::size(keys));
      for (size_t i = 0; i < std::size(keys); ++i) {
        QVERIFY2(hooks.*keys[i].hook, keys[i].name);
        hooks.*keys[i].hook = [&calls, i] { ++calls[i]; };
      }
      for (size_t i = 0; i < std::size(keys); ++i) {
        KeyContext context = window.State()->Keys();
        KeyDown(context, keys[i].vk, keys[i].shift, false);
        std::vector<int> expected(std::size(keys));
        std::fill(expected.begin(), expected.begin() + static_cast<ptrdiff_t>(i) + 1, 1);
        QVERIFY2(calls == expected, keys[i].name);
      }
      QVERIFY(hooks.showSawUnisonDialog);
      std::vector<bool> shown;
      hooks.showSawUnisonDialog = [&shown](bool visible) { shown.push_back(visible); };
      PressShifted(window, '0');
      PressShifted(window, '1');
      QCOMPARE(shown, (std::vector<bool>{true, false}));
    });
    QCOMPARE(code, 0);
  }

  // With the sound on JACK as well, the input's client keeps its own name.
  void shiftMClosesTheInputOpenedOnTheCommandLine() {
    if (!JackUsable()) QSKIP("jackd is not installed");
    test::JackServer server("tavolin-wiring-" + std::to_string(getpid()), 256);
    if (!server.WaitUntilUp()) QSKIP("jackd could not be started");
    const int code = RunWith({"--audio", "jack", "--midi-port", "virtual"}, [](MainWindow& window) {
      test::JackMidiSender sender;
      QVERIFY(sender.Ok());
      QVERIFY(test::WaitUntil([&] { return sender.ConnectTo("^Tavolin-MIDI:MIDI in$"); }));
      QVERIFY(StatusShows(window, "MIDI-IN[M]: Watching"));
      PressShifted(window, 'M');
      QVERIFY(StatusShows(window, "MIDI-IN[M]: Sleep"));
      QVERIFY(!sender.ConnectTo("^Tavolin-MIDI:MIDI in$"));
    });
    QCOMPARE(code, 0);
  }

  void aFailedStartUpEndsWithOne() {
    AwayFromEveryJackServer();
    ModalCloser modals;
    QCOMPARE(RunWith({"--audio", "jack"}, [](MainWindow&) { QFAIL("the engine ran without its output"); }), 1);
    QCOMPARE(modals.titles, QStringList{"Error"});
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::ProgramWiringTest)
#include "ProgramWiringTest.moc"
