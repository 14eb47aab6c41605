// tavolin-render: plays a Standard MIDI File through the synthesizer in
// virtual time and writes what the sound device would have played.

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "host/StderrReporters.h"
#include "midi/player/ConvertSmf.h"
#include "midi/player/LoadMidiFile.h"
#include "platform/ErrorText.h"
#include "platform/StagedFile.h"
#include "tools/EventDump.h"
#include "tools/OfflineRender.h"
#include "tools/RenderOptions.h"
#include "tools/RenderOutput.h"

namespace {

int CantWrite(const std::string& path, const std::string& reason) {
  tavolin::ReportCantWrite(path, reason);
  return 1;
}

// The song's events to stdout, or whole into `outPath`.
int PrintSongEvents(const std::string& path, const std::string& outPath) {
  tavolin::StderrSongReporter reporter("tavolin-render", path);
  const std::optional<tavolin::FileBytes> file = tavolin::ReadMidiFile(path, reporter);
  if (!file) return 1;
  const tavolin::EventList events = tavolin::ConvertSmf(reporter, file->bytes.data(), file->size, [] {});
  if (reporter.Errors() != 0) return 1;
  if (outPath.empty()) {
    tavolin::PrintEvents(events, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  tavolin::RenderOutput staged;
  if (const std::string why = staged.Stage(outPath); !why.empty()) return CantWrite(outPath, why);
  std::FILE* list = std::fopen(staged.WritePath().c_str(), "w");
  if (!list) return CantWrite(outPath, tavolin::ErrorText(errno));
  tavolin::PrintEvents(events, list);
  const bool written = std::ferror(list) == 0;
  if (std::fclose(list) != 0 || !written) return CantWrite(outPath, tavolin::ErrorText(errno));
  if (const std::string why = staged.Commit(); !why.empty()) return CantWrite(outPath, why);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const tavolin::ParsedCommandLine parsed =
      tavolin::ParseRenderCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (parsed.action) {
    case tavolin::RenderAction::Help: std::fputs(tavolin::RenderHelp().c_str(), stdout); return 0;
    case tavolin::RenderAction::Version: std::printf("tavolin-render %s\n", TAVOLIN_VERSION); return 0;
    case tavolin::RenderAction::UsageError:
      std::fprintf(stderr, "tavolin-render: %s\n(tavolin-render --help lists the options)\n", parsed.error.c_str());
      return 2;
    case tavolin::RenderAction::PrintEvents:
    case tavolin::RenderAction::Render: break;
  }
  for (const std::string& warning : parsed.warnings) {
    std::fprintf(stderr, "tavolin-render: warning: %s\n", warning.c_str());
  }
  tavolin::StagedFile::RemoveOnTerminationSignals();
  // A reader that quits early makes the copy-out fail with EPIPE, which
  // removes the temporary file, instead of ending the process with it left.
  std::signal(SIGPIPE, SIG_IGN);
  if (parsed.action == tavolin::RenderAction::PrintEvents) {
    return PrintSongEvents(parsed.settings.songPath, parsed.settings.outPath);
  }
  tavolin::StderrSongReporter reporter("tavolin-render", parsed.settings.songPath);
  tavolin::StderrWindowPort window("tavolin-render");
  const bool progress = !parsed.settings.quiet && isatty(STDERR_FILENO) == 1;
  return tavolin::RenderSongToWave(parsed.settings, reporter, window, progress).ok ? 0 : 1;
}
