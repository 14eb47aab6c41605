// Tavolin: the synthesizer program. Stores nothing: every run starts from
// the built-in defaults. Its options choose a MIDI input, the sound output
// and songs to play (CommandLine.h).

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/AudioChoice.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/Lifecycle.h"
#include "app/SoundReports.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "platform/ThreadName.h"
#include "ui/MainWindow.h"
#include "ui/MidiInputCommand.h"
#include "ui/QtSongReporter.h"
#include "ui/QtWindowPort.h"
#include "ui/TerminationSignals.h"

namespace {

// What the command line asks for that needs no window: an exit code, or
// nothing when the program is to run.
std::optional<int> AnswerWithoutWindow(const std::optional<tavolin::CommandLine>& options, const std::string& mistake) {
  using Action = tavolin::CommandLine::Action;
  if (!options) {
    std::fprintf(stderr, "tavolin: %s\n%s\n", mistake.c_str(), tavolin::kUsage);
    return tavolin::kUsageExitCode;
  }
  switch (options->action) {
    case Action::Help: std::fputs(tavolin::HelpText().c_str(), stdout); return 0;
    case Action::Version: std::printf("tavolin %s\n", TAVOLIN_VERSION); return 0;
    case Action::ListAudio:
      std::fputs(tavolin::SoundOutputListing(tavolin::ListSoundOutputs()).c_str(), stdout);
      return 0;
    case Action::Run: break;
  }
  const tavolin::WaveOutChoice& audio = options->audio;
  if (audio.kind == tavolin::WaveOutKind::System) {
    if (const std::string missing = tavolin::MissingSoundOutput(audio.api, audio.device); !missing.empty()) {
      std::fprintf(stderr, "tavolin: --audio: %s; tavolin --list-audio lists the devices\n", missing.c_str());
      return 1;
    }
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mistake;
  const auto options = tavolin::ParseCommandLine(argc, argv, mistake);
  if (const auto code = AnswerWithoutWindow(options, mistake)) return *code;
  tavolin::DisplayCheck display;
  if (!display.Problem().empty()) {
    std::fprintf(stderr, "tavolin: %s\n", display.Problem().c_str());
    return 1;
  }
  // Every argument is ours: Qt is given none to interpret.
  int qtArgc = 1;
  QApplication qtApp(qtArgc, argv);
  display.Release();
  // Lets a Wayland compositor match the window with the desktop entry and its icon.
  QGuiApplication::setDesktopFileName("tavolin");
  // The window thread, as the status display labels it.
  tavolin::NameCurrentThread("Main");

  tavolin::MainWindow window;
  window.show();
  // From here on, a SIGTERM during start-up closes the window once the event loop runs.
  tavolin::CloseOnTerminationSignals(&window);
  tavolin::QtWindowPort port(&window, [&window] { window.RefreshStatus(); });
  tavolin::QtSongReporter songReporter(&window);
  tavolin::SteadyClock clock;
  auto app = std::make_unique<tavolin::App>(port, clock);
  app->player.reporter = &songReporter;
  tavolin::StartUpOptions startUp;
  startUp.device = options->audio;
  if (tavolin::StartUp(*app, startUp) != tavolin::StartUpResult::Running) return 0;
  window.AttachPlayer(&app->player);
  window.AttachRecorder(&app->recorder);
  window.AttachMidiInput(&app->midiInPort);
  // MIDI input is closed at shut-down, before the window (and the sink in it) goes.
  app->midiIn.SetLogSink(window.LogWindowSink());
  window.AttachEngine({app->synth, app->master, app->ring, app->work, app->modulator, clock,
                       [&app] { return app->sequencerThread.SystemId(); },
                       [&app] { return app->audioThread.SystemId(); }});

  if (options->midiPort) window.MidiInput()->OpenByName(*options->midiPort);
  if (!options->songs.empty()) {
    // As F9 does with the files chosen in its dialog, once the window is up.
    QMetaObject::invokeMethod(
        &window,
        [&app, songs = options->songs] {
          if (tavolin::OpenPlaylist(app->player, songs)) tavolin::StartPlayback(app->player);
        },
        Qt::QueuedConnection);
  }

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
