#pragma once
// Standard MIDI Files made up for the benchmarks, each followed by the end
// mark the loader puts behind a file.

#include <cstdint>
#include <vector>

#include "midi/player/ConvertSmf.h"

namespace tavolin::bench {

using Bytes = std::vector<uint8_t>;

// A format 1 file at 480 ticks per quarter with the given track data.
inline Bytes SmfFile(const std::vector<Bytes>& tracks) {
  const auto count = static_cast<uint32_t>(tracks.size());
  Bytes file = {'M',  'T', 'h', 'd', 0, 0, 0, 6, 0, 1, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count),
                0x01, 0xE0};
  for (const Bytes& track : tracks) {
    const auto length = static_cast<uint32_t>(track.size());
    file.insert(file.end(), {'M', 'T', 'r', 'k', static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    file.insert(file.end(), track.begin(), track.end());
  }
  file.insert(file.end(), 4, 0xFF);
  return file;
}

// `tracks` tracks of `notes` short notes each, a new one every 10 ticks.
inline Bytes ManyTracksFile(uint32_t tracks, uint32_t notes) {
  std::vector<Bytes> data(tracks);
  for (uint32_t t = 0; t < tracks; ++t) {
    const auto channel = static_cast<uint8_t>(t % 16);
    for (uint32_t n = 0; n < notes; ++n) {
      const auto key = static_cast<uint8_t>(24 + (t * 7 + n) % 80);
      data[t].insert(data[t].end(), {0x0A, static_cast<uint8_t>(0x90 | channel), key, 0x64});
      data[t].insert(data[t].end(), {0x3C, static_cast<uint8_t>(0x80 | channel), key, 0x00});
    }
  }
  return SmfFile(data);
}

// `notes` notes on every key and channel in turn, all starting within the
// first few seconds and all ending after a minute: they overlap throughout.
inline Bytes OverlappingNotesFile(uint32_t notes) {
  Bytes track;
  for (const bool off : {false, true}) {
    for (uint32_t n = 0; n < notes; ++n) {
      if (off && n == 0) {
        track.insert(track.end(), {0x83, 0xC2, 0x00});  // a minute: 120 quarters
      } else {
        track.push_back(!off && n % 256 == 0 ? 1 : 0);
      }
      const auto status = static_cast<uint8_t>((off ? 0x80 : 0x90) | (n / 128) % 16);
      track.insert(track.end(), {status, static_cast<uint8_t>(n % 128), 0x64});
    }
  }
  return SmfFile({track});
}

// The converted song of a generated file.
inline EventList Converted(const Bytes& file) {
  return ConvertSmf(QuietSongReporter(), file.data(), file.size() - 4, [] {});
}

}  // namespace tavolin::bench
