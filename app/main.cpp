// Tavolin: the synthesizer program. Stores nothing: every run starts from
// the built-in defaults. Its one option chooses a MIDI input (CommandLine.h).

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "app/Lifecycle.h"
#include "app/SoundReports.h"
#include "platform/ThreadName.h"
#include "ui/MainWindow.h"
#include "ui/MidiInputCommand.h"
#include "ui/QtSongReporter.h"
#include "ui/QtWindowPort.h"
#include "ui/TerminationSignals.h"

namespace {

bool HasDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "tavolin: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Tavolin needs a desktop session. On a machine without one, run it under a\n"
                 "virtual X server:  xvfb-run -a %s\n",
                 argv[0]);
    return 1;
  }
  QApplication qtApp(argc, argv);  // takes Qt's own options out of argv
  std::string mistake;
  const auto options = tavolin::ParseCommandLine(argc, argv, mistake);
  if (!options) {
    std::fprintf(stderr, "tavolin: %s\n%s\n", mistake.c_str(), tavolin::kUsage);
    return tavolin::kUsageExitCode;
  }
  // The window thread, as the status display labels it.
  tavolin::NameCurrentThread("Main");

  tavolin::MainWindow window;
  window.show();
  tavolin::QtWindowPort port(&window);
  tavolin::QtSongReporter songReporter(&window);
  tavolin::SteadyClock clock;
  auto app = std::make_unique<tavolin::App>(port, clock);
  app->player.reporter = &songReporter;
  if (tavolin::StartUp(*app) != tavolin::StartUpResult::Running) return 0;
  window.AttachPlayer(&app->player);
  window.AttachRecorder(&app->recorder);
  window.AttachMidiInput(&app->midiInPort);
  // MIDI input is closed at shut-down, before the window (and the sink in it) goes.
  app->midiIn.SetLogSink(window.LogWindowSink());
  window.AttachEngine({app->synth, app->master, app->ring, app->work, app->modulator, clock,
                       [&app] { return app->sequencerThread.SystemId(); },
                       [&app] { return app->audioThread.SystemId(); }});

  if (options->midiPort) window.MidiInput()->OpenByName(*options->midiPort);

  tavolin::CloseOnTerminationSignals(&window);
  // The window thread looks after the output device; the audio path never waits for it.
  QTimer soundWatch;
  QObject::connect(&soundWatch, &QTimer::timeout, [&app] { tavolin::WatchSoundOutput(*app); });
  soundWatch.start(250);
  const int code = QApplication::exec();
  soundWatch.stop();
  std::fprintf(stderr, "%s\n", tavolin::OutputReport(app->outputs.Totals()).c_str());
  std::fprintf(stderr, "%s\n", tavolin::BlockTimeReport(app->blockTimings).c_str());
  if (tavolin::ShutDown(*app) == tavolin::ShutDownResult::WorkerStuck) {
    // A worker may still be using the engine's memory: end without tearing it down.
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
