// tavolin-render's speed on three typical multi-track songs and a
// five-minute solo piano piece, as a multiple of real time (counter
// x_realtime = seconds of audio per second of render, wall clock).

#include <benchmark/benchmark.h>

#include <string>

#include "tools/OfflineRender.h"

#ifndef TAVOLIN_BENCH_SONGS
#error "TAVOLIN_BENCH_SONGS must name the folder of generated songs"
#endif

namespace tavolin {
namespace {

void RenderSong(benchmark::State& state, const char* name) {
  RenderSettings settings;
  settings.songPath = std::string(TAVOLIN_BENCH_SONGS) + "/" + name + ".mid";
  settings.outPath = std::string(TAVOLIN_BENCH_SONGS) + "/" + name + ".wav";
  settings.quiet = true;
  StderrWindowPort window;
  double audioSeconds = 0.0;
  for (auto _ : state) {
    StderrSongReporter reporter(settings.songPath);
    const RenderResult result = RenderSongToWave(settings, reporter, window, false);
    if (!result.ok) {
      state.SkipWithError("render failed");
      return;
    }
    audioSeconds = static_cast<double>(result.samples) / 44100.0;
  }
  state.counters["x_realtime"] =
      benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(RenderSong, pop, "pop_120bpm")->Name("RenderSong/pop_120bpm")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(RenderSong, ballad, "ballad_76bpm")->Name("RenderSong/ballad_76bpm")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(RenderSong, dance, "dance_128bpm")->Name("RenderSong/dance_128bpm")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(RenderSong, piano, "piano_5min")->Name("RenderSong/piano_5min")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavolin
