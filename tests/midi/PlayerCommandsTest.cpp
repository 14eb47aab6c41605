// The player's keys and file drop on the main window, with the program's
// own start-up in virtual time (offscreen).

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <thread>

#include "TempFiles.h"
#include "app/Lifecycle.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "ui/MainWindow.h"
#include "ui/PlayerCommands.h"
#include "ui/QtSongReporter.h"
#include "ui/QtWindowPort.h"

namespace tavolin {

class PlayerCommandsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> window;
  std::unique_ptr<QtWindowPort> port;
  std::unique_ptr<QtSongReporter> reporter;
  VirtualClock clock;
  std::unique_ptr<App> app;
  std::unique_ptr<test::TempFiles> files;

  Player& player() { return app->player; }
  QString Song(const char* name, uint8_t key) {
    return QString::fromStdString(
        files->Write(name, test::Smf(0, 480, {{0x00, 0x90, key, 0x64, 0x83, 0x60, 0x80, key, 0x00}})));
  }
  // What the window does with a drop (Qt delivers drops only from a real drag).
  void Drop(const QString& path, bool shift) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path), QUrl::fromLocalFile("/nonexistent/second.mid")});
    QVERIFY(window->acceptDrops());
    LoadDroppedFile(player(), FirstDroppedFile(&mime), shift);
  }

 private slots:
  void init() {
    window = std::make_unique<MainWindow>();
    port = std::make_unique<QtWindowPort>(window.get());
    reporter = std::make_unique<QtSongReporter>(window.get());
    app = std::make_unique<App>(*port, clock);
    app->player.reporter = reporter.get();
    StartUpOptions options;
    options.openDevice = [](const WaveFormat&, MessageQueue& queue) {
      return WaveOutOpenResult{std::make_unique<VirtualWaveOut>(queue), {}};
    };
    QCOMPARE(StartUp(*app, options), StartUpResult::Running);
    window->AttachPlayer(&app->player);
    window->AttachEngine({app->synth, app->master, app->ring, app->work, clock, {}, {}});
    window->show();
    files = std::make_unique<test::TempFiles>();
  }
  void cleanup() {
    QCOMPARE(ShutDown(*app), ShutDownResult::Clean);
    app.reset();
    reporter.reset();
    port.reset();
    window.reset();
    files.reset();
  }

  void droppedFilePlaysUnlessShiftIsHeld() {
    const QString first = Song("drop.mid", 60);
    Drop(first, false);
    QCOMPARE(QString::fromStdString(ViewSong(player()).currentFile), first);
    QVERIFY(player().cursor.load() != kNoCursor || player().SongEnded.load() == 1);
    QCOMPARE(window->windowTitle(), "Tavolin - " + first);

    const QString second = Song("shift.mid", 62);
    Drop(second, true);
    QCOMPARE(QString::fromStdString(ViewSong(player()).currentFile), second);
    QCOMPARE(player().cursor.load(), kNoCursor);
    QVERIFY(player().playlist.empty());
  }

  void commandsStartStopSkipAndClose() {
    QVERIFY(LoadMidiFile(player(), Song("keys.mid", 60).toStdString()));
    PlaySongCommand(player());                        // Space
    QTRY_VERIFY(player().ClockStarted.load() == 1);  // the sequencer thread played the first note
    SkipAheadCommand(player());                       // Right: the note ends inside the second
    QTRY_COMPARE(player().cursor.load(), kNoCursor);
    StopSongCommand(player());                        // Return
    PlaySongCommand(player());
    QCOMPARE(player().cursor.load() == kNoCursor, false);
    StopSongCommand(player());
    QCOMPARE(player().cursor.load(), kNoCursor);
    CloseMidiFileCommand(player());                   // F11
    QVERIFY(!ViewSong(player()).song);
    QCOMPARE(window->windowTitle(), QString("Tavolin"));
    PlaySongCommand(player());  // nothing loaded: nothing happens
    QCOMPARE(player().cursor.load(), kNoCursor);
  }

  void titleAndErrorsFromTheSequencerThreadArePosted() {
    const std::string bad = files->Write("bad.mid", test::Header(2, 480));
    QVERIFY(OpenPlaylist(player(), {Song("a.mid", 60).toStdString(), bad}));
    std::thread sequencer([this] { NextPlaylistFile(player()); });
    sequencer.join();  // it never waited for this (window) thread
    QCOMPARE(window->windowTitle(), QString("Tavolin - ") + QString::fromStdString(files->Path("a.mid")));
    // The refusal's message box shows on this thread; close it when it comes.
    QTimer closer;
    int boxes = 0;
    connect(&closer, &QTimer::timeout, [&boxes] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        ++boxes;
        box->close();
      }
    });
    closer.start(10);
    QTRY_COMPARE(boxes, 1);
    QTRY_COMPARE(window->windowTitle(), QString("Tavolin - "));
  }

  void escapeIsTrackedWhileHeld() {
    QVERIFY(!reporter->EscapeHeld());
    QTest::keyPress(window.get(), Qt::Key_Escape);
    QVERIFY(reporter->EscapeHeld());
    QTest::keyRelease(window.get(), Qt::Key_Escape);
    QVERIFY(!reporter->EscapeHeld());
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::PlayerCommandsTest)
#include "PlayerCommandsTest.moc"
