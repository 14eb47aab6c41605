// Converting a Standard MIDI File with many tracks: the merge of the tracks
// must not grow with tracks times events.

#include <benchmark/benchmark.h>

#include "bench/GeneratedSongs.h"

namespace tavolin {
namespace {

void ConvertManyTracks(benchmark::State& state) {
  const bench::Bytes file = bench::ManyTracksFile(600, 3000);
  size_t events = 0;
  for (auto _ : state) {
    const EventList list = bench::Converted(file);
    events = list.size();
    benchmark::DoNotOptimize(list.data());
  }
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(ConvertManyTracks)->Name("ConvertSmf/many_tracks")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolin
