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
#include "platform/ThreadName.h"

int main(int argc, char** argv) {
  std::string mistake;
  const auto options = tavolin::ParseCommandLine(argc, argv, mistake);
  if (const auto code = tavolin::AnswerBeforeStart(
          options, mistake, {"tavolin", tavolin::kUsage, tavolin::HelpText(), TAVOLIN_VERSION})) {
    return *code;
  }
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
