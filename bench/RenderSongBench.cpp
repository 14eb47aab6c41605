// tavolin-render's speed on three typical multi-track songs and a
// five-minute solo piano piece, as a multiple of real time: x_realtime =
// seconds of audio per second of render (wall clock), x_cpu = the same per
// second of the whole process's CPU time, which other load on the machine
// hardly changes. Each song plain and with the README's detune settings (the
// unison saws twice over: the heaviest example).

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

#include "tools/OfflineRender.h"

#ifndef TAVOLIN_BENCH_SONGS
#error "TAVOLIN_BENCH_SONGS must name the folder of generated songs"
#endif

namespace tavolin {
namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void RenderSong(benchmark::State& state, const char* name, bool detune) {
  RenderSettings settings;
  settings.songPath = std::string(TAVOLIN_BENCH_SONGS) + "/" + name + ".mid";
  settings.outPath = std::string(TAVOLIN_BENCH_SONGS) + "/" + name + ".wav";
  settings.quiet = true;
  if (detune) {
    settings.engine.mode = 9;
    settings.engine.switches = {"DetuneOn"};
    settings.engine.params = {{"MidiLife", 0.5}, {"MasterVol", 0.2}};
  }
  StderrWindowPort window("tavolin-render");
  double audioSeconds = 0.0;
  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state) {
    StderrSongReporter reporter("tavolin-render", settings.songPath);
    const RenderResult result = RenderSongToWave(settings, reporter, window, false);
    if (!result.ok) {
      state.SkipWithError("render failed");
      return;
    }
    audioSeconds = static_cast<double>(result.samples) / 44100.0;
  }
  const double cpuSeconds = ProcessCpuSeconds() - cpuStart;
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["x_cpu"] = audioSeconds * static_cast<double>(state.iterations()) / cpuSeconds;
}

#define TAVOLIN_RENDER_SONG(song)                           \
  BENCHMARK_CAPTURE(RenderSong, song, #song, false)         \
      ->Name("RenderSong/" #song)                           \
      ->Unit(benchmark::kMillisecond)                       \
      ->UseRealTime();                                      \
  BENCHMARK_CAPTURE(RenderSong, song##_detune, #song, true) \
      ->Name("RenderSong/" #song "/detune")                 \
      ->Unit(benchmark::kMillisecond)                       \
      ->UseRealTime()

TAVOLIN_RENDER_SONG(pop_120bpm);
TAVOLIN_RENDER_SONG(ballad_76bpm);
TAVOLIN_RENDER_SONG(dance_128bpm);
TAVOLIN_RENDER_SONG(piano_5min);

}  // namespace
}  // namespace tavolin
