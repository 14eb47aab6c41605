// The player's keys and file drop on the main window, with the program's
// own start-up in virtual time (offscreen).

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "TempFiles.h"
#include "app/Program.h"
#include "host/Lifecycle.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "ui/MainWindow.h"
#include "ui/PlayerCommands.h"
#include "ui/QtSongReporter.h"
#include "ui/QtWindowPort.h"

namespace tavolin {

// Passes everything on to the window's reporter; once armed, the next load
// on another thread is held at "Converting..." until released.
class HoldingReporter final : public SongReporter {
 public:
  explicit HoldingReporter(SongReporter& inner) : inner_(inner) {}
  void SetTitle(std::string_view title) override {
    inner_.SetTitle(title);
    if (title != "Converting..." || QThread::currentThread() == qApp->thread()) return;
    std::unique_lock lock(mutex_);
    if (!armed_) return;
    held_ = true;
    // A limit, so that a window thread stuck behind the load gets free.
    released_.wait_for(lock, std::chrono::seconds(30), [this] { return !armed_; });
    held_ = false;
  }
  void ShowError(std::string_view text, std::string_view caption) override { inner_.ShowError(text, caption); }
  void PumpEvents() override { inner_.PumpEvents(); }
  bool EscapeHeld() override { return inner_.EscapeHeld(); }

  void Arm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    armed_ = false;
    released_.notify_all();
  }
  bool Held() {
    std::lock_guard lock(mutex_);
    return held_;
  }

 private:
  SongReporter& inner_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool armed_ = false;
  bool held_ = false;
};

class TitleChanges final : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange) ++count;
    return false;
  }
};

class PlayerCommandsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> window;
  std::unique_ptr<QtWindowPort> port;
  std::unique_ptr<QtSongReporter> reporter;
  std::unique_ptr<HoldingReporter> holding;
  VirtualClock clock;
  std::unique_ptr<App> app;
  std::unique_ptr<test::TempFiles> files;
  LoadTurns loads;

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
    LoadDroppedFile(player(), loads, FirstDroppedFile(&mime), shift);
  }

 private slots:
  void init() {
    window = std::make_unique<MainWindow>();
    port = std::make_unique<QtWindowPort>(window.get());
    reporter = std::make_unique<QtSongReporter>(window.get());
    holding = std::make_unique<HoldingReporter>(*reporter);
    app = std::make_unique<App>(*port, clock);
    app->player.reporter = holding.get();
    StartUpOptions options;
    options.openDevice = [](const WaveFormat&, MessageQueue& queue) {
      return WaveOutOpenResult{std::make_unique<VirtualWaveOut>(queue), {}};
    };
    QCOMPARE(StartUp(*app, options), StartUpResult::Running);
    window->Attach(WindowLinksOf(*app));
    window->show();
    files = std::make_unique<test::TempFiles>();
  }
  void cleanup() {
    QCOMPARE(ShutDown(*app), ShutDownResult::Clean);
    app.reset();
    holding.reset();
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

  // Page Down pressed again while the file it moved to converts (which
  // handles the window's events): that load waits for the first instead of
  // running inside it, so the file asked for last is the one that stays.
  void aLoadAskedForDuringALoadWaitsForIt() {
    const std::vector<std::string> paths = {Song("1.mid", 60).toStdString(), Song("2.mid", 62).toStdString(),
                                            Song("3.mid", 64).toStdString()};
    QVERIFY(OpenPlaylist(player(), paths));
    QMetaObject::invokeMethod(
        window.get(), [this] { QTest::keyClick(window.get(), Qt::Key_PageDown); }, Qt::QueuedConnection);
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    QCOMPARE(ViewSong(player()).currentFile, paths[2]);
    QCOMPARE(window->windowTitle(), QString::fromStdString("Tavolin - " + paths[2]));
  }

  void commandsStartStopSkipAndClose() {
    QVERIFY(LoadMidiFile(player(), Song("keys.mid", 60).toStdString()));
    PlaySongCommand(player());                       // Space
    QTRY_VERIFY(player().ClockStarted.load() == 1);  // the sequencer thread played the first note
    SkipAheadCommand(player());                      // Right: the note ends inside the second
    QTRY_COMPARE(player().cursor.load(), kNoCursor);
    // The commands may be left for the sequencer thread if it holds the lock.
    StopSongCommand(player());  // Return
    PlaySongCommand(player());
    QTRY_COMPARE(player().cursor.load() == kNoCursor, false);
    StopSongCommand(player());
    QTRY_COMPARE(player().cursor.load(), kNoCursor);
    CloseMidiFileCommand(player());  // F11
    QTRY_VERIFY(!ViewSong(player()).song);
    QTRY_COMPARE(window->windowTitle(), QString("Tavolin"));
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

  // A playlist's next file held open while the sequencer thread converts
  // it: painting and the player keys go on at once, and Escape reaches
  // that conversion (it then yields nothing).
  void windowGoesOnWhileTheSequencerLoads() {
    const test::Bytes endsAtOnce = test::Smf(0, 480, {{0x00, 0x90, 0x3C, 0x64}});
    QVERIFY(OpenPlaylist(player(), {files->Write("first.mid", endsAtOnce), Song("next.mid", 62).toStdString()}));
    holding->Arm();
    PlaySongCommand(player());
    QTRY_VERIFY_WITH_TIMEOUT(holding->Held(), 20000);
    window->repaint();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Right, Qt::Key_F11}) {
      QTest::keyClick(window.get(), key);
    }
    QVERIFY2(holding->Held(), "the window waited for the load");
    QTest::keyPress(window.get(), Qt::Key_Escape);
    holding->Release();
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QString("Tavolin - "), 20000);
    QTest::keyRelease(window.get(), Qt::Key_Escape);
    QVERIFY(!ViewSong(player()).song);
  }

  // Progress titles from another thread: one update, showing the latest text.
  void titlesFromAnotherThreadAreCoalesced() {
    TitleChanges changes;
    window->installEventFilter(&changes);
    std::thread converter([this] {
      for (int i = 0; i <= 1000; ++i) reporter->SetTitle("Converting... " + std::to_string(i / 2));
    });
    converter.join();
    QCoreApplication::processEvents();
    QCOMPARE(window->windowTitle(), QString("Converting... 500"));
    QCOMPARE(changes.count, 1);
    window->removeEventFilter(&changes);
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
