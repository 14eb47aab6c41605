#pragma once
// A modulator file for the vocoder's tests.

#include <cmath>
#include <cstdint>

#include "tests/midi/TempFiles.h"

namespace lv2test {

// A RIFF WAVE file of 16-bit mono samples at 44100 Hz: a second of a tone
// sweeping up from `fromHz`.
inline tavolin::test::Bytes SweepWave(double fromHz = 200.0) {
  auto le = [](uint32_t v, int bytes) {
    tavolin::test::Bytes out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
  };
  tavolin::test::Bytes data;
  double phase = 0;
  for (int i = 0; i < 44100; ++i) {
    phase += 2 * 3.141592653589793 * (fromHz + 2000.0 * i / 44100) / 44100;
    const auto sample = static_cast<uint16_t>(static_cast<int16_t>(12000 * std::sin(phase)));
    data = tavolin::test::Cat({data, le(sample, 2)});
  }
  const tavolin::test::Bytes fmt =
      tavolin::test::Cat({le(1, 2), le(1, 2), le(44100, 4), le(88200, 4), le(2, 2), le(16, 2)});
  return tavolin::test::Cat({{'R', 'I', 'F', 'F'},
                             le(static_cast<uint32_t>(36 + data.size()), 4),
                             {'W', 'A', 'V', 'E'},
                             {'f', 'm', 't', ' '},
                             le(16, 4),
                             fmt,
                             {'d', 'a', 't', 'a'},
                             le(static_cast<uint32_t>(data.size()), 4),
                             data});
}

}  // namespace lv2test
