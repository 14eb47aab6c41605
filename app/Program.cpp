#include "app/Program.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "host/Lifecycle.h"
#include "host/SoundReports.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "ui/MidiInputCommand.h"
#include "ui/QtSongReporter.h"
#include "ui/QtWindowPort.h"
#include "ui/TerminationSignals.h"

namespace tavolin {

WindowLinks WindowLinksOf(App& app) {
  return {{app.synth, app.master, app.ring, app.work, app.modulator, app.clock,
           [&app] { return app.sequencerThread.SystemId(); }, [&app] { return app.audioThread.SystemId(); }},
          app.player,
          app.recorder,
          app.midiInPort};
}

int RunProgram(const CommandLine& options) {
  MainWindow window;
  window.show();
  // From here on, a SIGTERM during start-up closes the window once the event loop runs.
  CloseOnTerminationSignals(&window);
  QtWindowPort port(&window, [&window] { window.RefreshStatus(); });
  QtSongReporter songReporter(&window);
  SteadyClock clock;
  auto app = std::make_unique<App>(port, clock);
  app->player.reporter = &songReporter;
  StartUpOptions startUp;
  startUp.device = options.audio;
  startUp.path = options.path;
  if (StartUp(*app, startUp) != StartUpResult::Running) return 1;
  window.Attach(WindowLinksOf(*app));
  // MIDI input is closed at shut-down, before the window (and the sink in it) goes.
  app->midiIn.SetLogSink(window.LogWindowSink());

  if (options.midiPort) window.MidiInput()->OpenByName(*options.midiPort);
  if (!options.songs.empty()) {
    // As F9 does with the files chosen in its dialog, once the window is up.
    QMetaObject::invokeMethod(
        &window,
        [&app, songs = options.songs] {
          if (OpenPlaylist(app->player, songs)) StartPlayback(app->player);
        },
        Qt::QueuedConnection);
  }

  // The window thread looks after the output device; the audio path never waits for it.
  QTimer soundWatch;
  QObject::connect(&soundWatch, &QTimer::timeout, [&app] { WatchSoundOutput(*app); });
  soundWatch.start(250);
  const int code = QApplication::exec();
  soundWatch.stop();
  std::fprintf(stderr, "%s\n", OutputReport(app->outputs.Totals()).c_str());
  std::fprintf(stderr, "%s\n", BlockTimeReport(app->blockTimings).c_str());
  if (ShutDown(*app) == ShutDownResult::WorkerStuck) {
    // A worker may still be using the engine's memory: end without tearing it down.
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}

}  // namespace tavolin
