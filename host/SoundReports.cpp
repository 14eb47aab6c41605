#include "host/SoundReports.h"

#include <chrono>
#include <cstdio>

namespace tavolin {

void WatchSoundOutput(App& app) {
  if (!app.outputs.TakeNewFailure()) return;
  std::fprintf(stderr,
               "tavolin: the sound output stopped; start the sound server again if it has gone, "
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

std::string BlockTimeReport(const BlockTimings& timings) {
  const auto ms = [](std::chrono::nanoseconds t) { return std::chrono::duration<double, std::milli>(t).count(); };
  char line[200];
  std::snprintf(
      line, sizeof line,
      "tavolin: block render time p50 %.3f ms, p99 %.3f ms, max %.3f ms over %llu blocks (a block lasts %.2f ms)",
      ms(timings.Percentile(0.5)), ms(timings.Percentile(0.99)), ms(timings.Max()),
      static_cast<unsigned long long>(timings.Count()), 1000.0 * kBlockSamples / kSampleRate);
  return line;
}

}  // namespace tavolin
