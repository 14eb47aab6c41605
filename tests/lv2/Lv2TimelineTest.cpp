// The plugin on the host's timeline: rolled from a timeline frame, it plays
// the same samples whatever it did before (stood with a note held, or
// rolled elsewhere and jumped) and however the host cuts its calls, at the
// engine's rate and converted, under either timing rule; and a note in a
// plain mode sounds at its own frame, or the latency later.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "LilvHost.h"

namespace {

using namespace lv2test;

constexpr int64_t kRollFrom = 44100 + 300;  // not on the engine's block grid
constexpr uint32_t kLength = 12000;

// A note, a chord and a note-off between block edges, in stream frames from `from`.
std::vector<Event> Phrase(uint32_t from) {
  return {{from + 700, {0x90, 57, 100}}, {from + 3000, {0x90, 60, 90}}, {from + 3000, {0x90, 64, 90}},
          {from + 3000, {0x90, 67, 90}}, {from + 5555, {0x80, 57, 0}},  {from + 9000, {0x80, 60, 0}},
          {from + 9000, {0x80, 64, 0}},  {from + 9000, {0x80, 67, 0}}};
}

struct History {
  const char* name;
  uint32_t frames;                   // played before the roll from kRollFrom
  std::vector<Event> events;         // meanwhile
  std::vector<Transport> transport;  // meanwhile
};

TEST(Lv2Timeline, RolledFromAFrameItPlaysTheSameWhateverCameBeforeAndWhateverTheCalls) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  const std::vector<History> histories = {
      {"nothing", 0, {}, {}},
      {"a note held while the transport stood", 2000, {{10, {0x90, 50, 100}}}, {{0, 77, 0.0f}}},
      {"rolled elsewhere, then jumped", 3333, {{100, {0x90, 62, 100}}}, {{0, 5000, 1.0f}}},
  };
  std::vector<uint32_t> randomSizes(30);
  std::mt19937 random(5);
  for (uint32_t& size : randomSizes) size = 1 + random() % 2048;
  const std::vector<std::vector<uint32_t>> calls = {{256}, {64}, {1000}, randomSizes};
  for (const double rate : {44100.0, 48000.0}) {
    for (const float compensated : {0.0f, 1.0f}) {
      std::vector<float> first;
      for (const History& history : histories) {
        std::vector<Event> events = history.events;
        const std::vector<Event> phrase = Phrase(history.frames);
        events.insert(events.end(), phrase.begin(), phrase.end());
        std::vector<Transport> transport = history.transport;
        transport.push_back({history.frames, kRollFrom, 1.0f});
        const Song song{
            rate, history.frames + kLength, events, {{"mode", 6.0f}, {"compensated", compensated}}, transport};
        for (const std::vector<uint32_t>& sizes : calls) {
          float latency = 0;
          const std::vector<float> out = host.Render(song, sizes, &latency);
          const std::vector<float> rolled(out.begin() + history.frames, out.end());
          if (first.empty()) {
            first = rolled;
            // A sine, whose rise the converter's ringing does not run ahead of.
            const auto onset = std::find_if(first.begin(), first.end(), [](float s) { return std::fabs(s) > 1e-3f; });
            EXPECT_NEAR(onset - first.begin(), 700 + latency, 4) << rate << " " << compensated;
            continue;
          }
          const auto [a, b] = std::mismatch(first.begin(), first.end(), rolled.begin());
          EXPECT_EQ(a, first.end()) << rate << " Hz, compensated " << compensated << ", " << history.name
                                    << ", calls of " << sizes[0] << "...: first difference at " << (a - first.begin());
        }
      }
    }
  }
}

}  // namespace
