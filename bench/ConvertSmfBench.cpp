// Converting a Standard MIDI File with many tracks: the merge of the tracks
// must not grow with tracks times events.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "midi/player/ConvertSmf.h"

namespace tavolin {
namespace {

void Append32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// `tracks` tracks of `notes` overlapping notes each, then the end mark.
std::vector<uint8_t> ManyTracksFile(uint32_t tracks, uint32_t notes) {
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  file.push_back(static_cast<uint8_t>(tracks >> 8));
  file.push_back(static_cast<uint8_t>(tracks));
  file.push_back(0x01);
  file.push_back(0xE0);  // 480 ticks per quarter
  for (uint32_t t = 0; t < tracks; ++t) {
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    Append32(file, notes * 8);
    for (uint32_t n = 0; n < notes; ++n) {
      const auto key = static_cast<uint8_t>(24 + (t * 7 + n) % 80);
      file.insert(file.end(), {0x0A, static_cast<uint8_t>(0x90 | t % 16), key, 0x64});
      file.insert(file.end(), {0x3C, static_cast<uint8_t>(0x80 | t % 16), key, 0x00});
    }
  }
  file.insert(file.end(), 4, 0xFF);
  return file;
}

void ConvertManyTracks(benchmark::State& state) {
  const std::vector<uint8_t> file = ManyTracksFile(600, 3000);
  size_t events = 0;
  for (auto _ : state) {
    const EventList list = ConvertSmf(QuietSongReporter(), file.data(), file.size() - 4, [] {});
    events = list.size();
    benchmark::DoNotOptimize(list.data());
  }
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(ConvertManyTracks)->Name("ConvertSmf/many_tracks")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolin
