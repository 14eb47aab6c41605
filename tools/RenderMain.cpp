// tavolin-render: plays a Standard MIDI File through the synthesizer in
// virtual time and writes what the sound device would have played.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "midi/player/ConvertSmf.h"
#include "midi/player/LoadMidiFile.h"
#include "tools/EventDump.h"
#include "tools/OfflineRender.h"
#include "tools/RenderOptions.h"
#include "tools/StderrReporters.h"

namespace {

int PrintSongEvents(const std::string& path) {
  tavolin::StderrSongReporter reporter(path);
  const tavolin::FileBytes file = tavolin::ReadMidiFileBytes(path);
  if (!file.error.empty()) {
    reporter.ShowError(file.error, tavolin::kErrorCaption);
    return 1;
  }
  const tavolin::EventList events = tavolin::ConvertSmf(reporter, file.bytes.data(), file.size, [] {});
  if (reporter.Errors() != 0) return 1;
  tavolin::PrintEvents(events, stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const tavolin::ParsedCommandLine parsed =
      tavolin::ParseRenderCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (parsed.action) {
    case tavolin::RenderAction::Help:
      std::fputs(tavolin::RenderUsage(), stdout);
      return 0;
    case tavolin::RenderAction::Version:
      std::printf("tavolin-render %s\n", TAVOLIN_VERSION);
      return 0;
    case tavolin::RenderAction::UsageError:
      std::fprintf(stderr, "tavolin-render: %s\n%s", parsed.error.c_str(), tavolin::RenderUsage());
      return 2;
    case tavolin::RenderAction::PrintEvents:
      return PrintSongEvents(parsed.settings.songPath);
    case tavolin::RenderAction::Render:
      break;
  }
  tavolin::StderrSongReporter reporter(parsed.settings.songPath);
  tavolin::StderrWindowPort window;
  const bool progress = !parsed.settings.quiet && isatty(STDERR_FILENO) == 1;
  return tavolin::RenderSongToWave(parsed.settings, reporter, window, progress).ok ? 0 : 1;
}
