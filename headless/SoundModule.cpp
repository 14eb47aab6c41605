#include "headless/SoundModule.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "headless/RecordingName.h"
#include "host/Lifecycle.h"
#include "host/SoundReports.h"
#include "host/StderrReporters.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "platform/MidiSourceConnector.h"
#include "platform/SignalWait.h"

namespace tavolin {

namespace {

constexpr const char* kProgram = "tavolin-headless";
// How often the sources are looked for and the output is watched: a
// keyboard plugged in is connected within this, and waiting costs nothing.
constexpr auto kLookAround = std::chrono::milliseconds(1000);
constexpr uint32_t kLooksPerReopen = 5;

// The MIDI input: the port named on the command line, else our virtual
// port; none with --midi-port none. Its name for the start line. One that
// cannot be opened (no MIDI system, or no such port) is said on stderr, and
// the module plays on without it: its songs need none.
std::string OpenMidiInput(App& app, const std::optional<std::string>& wanted) {
  if (wanted == "none") return "none";
  const std::vector<std::string> lines = app.midiInPort.ListPorts();
  const std::string name = wanted.value_or("virtual");
  const std::optional<size_t> line = FindPortLine(lines, name);
  std::string error;
  if (!line) {
    error = "no MIDI input port contains \"" + name + "\"";
  } else if (app.midiInPort.Open(*line, lines[*line], error)) {
    return *line + 1 == lines.size() ? std::string("Tavolin-MIDI:MIDI in") : lines[*line];
  }
  std::fprintf(stderr, "%s: %s; playing without MIDI input\n", kProgram, error.c_str());
  return "none";
}

void PrintConnections(const std::vector<MidiSourceEvent>& events) {
  for (const MidiSourceEvent& event : events) {
    std::fprintf(stderr, "%s: MIDI source %s: %s\n", kProgram,
                 event.kind == MidiSourceEvent::Kind::kConnected ? "connected" : "lost", event.source.c_str());
  }
}

std::string StartLine(const App& app, const HeadlessOptions& options, const std::string& input,
                      const std::vector<MidiSourceEvent>& connected, const std::string& recording) {
  const WaveOut* device = app.outputs.Current();
  std::string line = std::string(kProgram) + ": playing on " + device->Where();
  if (device->Period() != 0) {
    char period[64];
    std::snprintf(period, sizeof period, ", period %u frames (%.1f ms)", device->Period(),
                  1000.0 * device->Period() / kSampleRate);
    line += period;
  }
  line += app.pull ? ", low-latency path" : ", ring of eight buffers";
  line += "; MIDI input " + input;
  if (options.midiConnect) {
    line += "; connecting sources matching \"" + *options.midiConnect + "\": ";
    if (connected.empty()) line += "none yet";
    for (size_t i = 0; i < connected.size(); ++i) line += (i == 0 ? "" : ", ") + connected[i].source;
  }
  if (!recording.empty()) line += "; recording to " + recording;
  return line;
}

// Every second until a termination signal: new and lost sources; and an
// output whose server went away, tried again every few seconds until it is
// back (each try that fails says so on stderr).
void LookAroundUntilTold(App& app, MidiSourceConnector* connector) {
  uint32_t looks = 0;
  while (WaitForTerminationSignal(kLookAround) == 0) {
    if (connector != nullptr) PrintConnections(connector->Poll());
    if (app.outputs.TakeNewFailure()) {
      std::fprintf(stderr, "%s: the sound output stopped; it is opened again once its sound server is back\n",
                   kProgram);
    }
    if (++looks % kLooksPerReopen == 0 && app.outputs.Failed()) RestartSoundSystem(app.ring);
  }
}

// Everything after start-up that can fail, in order; false when something
// did (said on stderr).
bool StartPlaying(App& app, const HeadlessOptions& options, std::unique_ptr<MidiSourceConnector>& connector) {
  app.modulator.Start();  // nothing happens without a modulator
  std::string recording;
  if (!options.recordPath.empty()) {
    std::string error;
    const std::optional<std::string> name = ClaimRecordingName(options.recordPath, error);
    if (!name) {
      std::fprintf(stderr, "%s: --record: %s\n", kProgram, error.c_str());
      return false;
    }
    if (!app.recorder.Start(*name)) return false;
    recording = *name;
  }
  const std::string input = OpenMidiInput(app, options.program.midiPort);
  std::vector<MidiSourceEvent> connected;
  if (options.midiConnect) {
    std::string error;
    connector = MidiSourceConnector::Open(*options.midiConnect, error);
    if (!connector) {
      std::fprintf(stderr, "%s: --midi-connect: %s\n", kProgram, error.c_str());
      return false;
    }
    connected = connector->Poll();
  }
  std::fprintf(stderr, "%s\n", StartLine(app, options, input, connected, recording).c_str());
  if (!options.program.songs.empty() && OpenPlaylist(app.player, options.program.songs)) StartPlayback(app.player);
  return true;
}

}  // namespace

int RunSoundModule(const HeadlessOptions& options) {
  // Before any thread starts, so that every thread leaves them to the wait.
  BlockTerminationSignals();
  StderrWindowPort window(kProgram);
  StderrSongReporter songs(kProgram, "");
  SteadyClock clock;
  auto app = std::make_unique<App>(window, clock);
  app->player.reporter = &songs;
  // A keyboard's numbers, and the messages that end its notes.
  app->midiIn.SetNumbering(options.numbering);
  app->midiIn.SetChannelModeMessages(ChannelModeMessages::Obeyed);
  // Before the first sample, so that all of them are played with the settings.
  ApplyEngineSettings(*app, options.engine);
  if (!InstallEngineVocoder(*app, options.engine, kProgram)) return 1;
  StartUpOptions startUp;
  startUp.device = options.program.audio;
  startUp.path = options.program.path;
  if (StartUp(*app, startUp) != StartUpResult::Running) return 1;
  std::unique_ptr<MidiSourceConnector> connector;
  const bool playing = StartPlaying(*app, options, connector);
  if (playing) LookAroundUntilTold(*app, connector.get());
  // A second signal cuts short an end that hangs (a sound server that does not answer).
  LetTerminationSignalsThrough();
  connector.reset();
  std::fprintf(stderr, "%s\n", OutputReport(app->outputs.Totals()).c_str());
  std::fprintf(stderr, "%s\n", BlockTimeReport(app->blockTimings).c_str());
  if (ShutDown(*app) == ShutDownResult::WorkerStuck) {
    // A worker may still be using the engine's memory: end without tearing it down.
    std::fflush(nullptr);
    std::_Exit(1);
  }
  return playing ? 0 : 1;
}

}  // namespace tavolin
