#include "app/SoundReports.h"

#include <cstdio>

namespace tavolin {

void WatchSoundOutput(App& app) {
  if (!app.outputs.TakeNewFailure()) return;
  std::fprintf(stderr, "tavolin: the sound output stopped; start the sound server again if it has gone, "
                       "then press Delete to restart the sound.\n");
  app.window.ShowNotice(
      "The sound output stopped.\n\nIf the sound server (JACK, for instance) has stopped, start it again, "
      "then press Delete to restart the sound.",
      "Error");
}

std::string OutputReport(const WaveOutTotals& totals) {
  char line[160];
  std::snprintf(line, sizeof line, "tavolin: %.1f s of sound played; underruns: %llu samples in %llu events",
                static_cast<double>(totals.playedSamples) / kSampleRate,
                static_cast<unsigned long long>(totals.underrunSamples),
                static_cast<unsigned long long>(totals.underrunEvents));
  return line;
}

}  // namespace tavolin
