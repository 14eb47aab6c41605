// Tavolin: the synthesizer program. Stores nothing: every run starts from
// the built-in defaults. Its options choose a MIDI input, the sound output
// and songs to play (CommandLine.h).

#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>

#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/Program.h"
#include "host/AudioChoice.h"
#include "platform/ThreadName.h"

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

  return tavolin::RunProgram(*options);
}
