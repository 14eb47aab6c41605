// The built bundle loaded as a DAW loads it, through lilv: the same MIDI
// events give the same output whatever the block sizes of the host's calls,
// the same as tavolin-render's with the same settings by --set, --on and
// --mode; the latency port says when a note sounds, and at a host rate of
// 48000 Hz a note keeps its pitch and level.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "LilvHost.h"
#include "SweepWave.h"
#include "Tone.h"
#include "platform/WaveFileWriter.h"
#include "tests/midi/TempFiles.h"

namespace {

using namespace lv2test;

const Event kEvents[] = {{0, {0x90, 45, 100}},  {700, {0x91, 52, 90}}, {1024, {0xB0, 1, 80}},
                         {3000, {0xE0, 0, 70}}, {4500, {0x80, 45, 0}}, {5000, {0x90, 64, 100}},
                         {8192, {0xC0, 3, 0}},  {9000, {0x81, 52, 0}}, {10000, {0x80, 64, 0}}};

// Under either timing rule: the latency port says when the note at frame 0
// sounds, and the output does not depend on the host's calls.
TEST(Lv2Host, SameOutputWhateverTheBlockSizesUnderEitherTimingRule) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr) << "no plugin urn:tavolin:synth in " << TAVOLIN_LV2_BUNDLE;
  std::vector<uint32_t> randomSizes(40);
  std::mt19937 random(3);
  for (uint32_t& size : randomSizes) size = 1 + random() % 4096;
  for (const float compensated : {0.0f, 1.0f}) {
    const Song song{.events = kEvents, .controls = {{"compensated", compensated}}};
    float latency = -1.0f;
    const std::vector<float> reference = host.Render(song, {1024}, &latency);
    ASSERT_EQ(reference.size(), song.length);
    EXPECT_EQ(latency, compensated * kLatency);
    const auto first = std::find_if(reference.begin(), reference.end(), [](float s) { return s != 0.0f; });
    EXPECT_EQ(first - reference.begin(), static_cast<std::ptrdiff_t>(latency));
    for (const std::vector<uint32_t>& sizes :
         std::vector<std::vector<uint32_t>>{{1}, {17}, {64}, {1000}, {4096}, randomSizes}) {
      const std::vector<float> out = host.Render(song, sizes, &latency);
      const auto [a, b] = std::mismatch(reference.begin(), reference.end(), out.begin());
      EXPECT_EQ(a, reference.end()) << "compensated " << compensated << ", calls of " << sizes[0]
                                    << "...: first difference at sample " << (a - reference.begin());
    }
  }
}

// At a host rate of 48000 Hz the engine's output is converted: note 69 in
// the sine mode is 440 Hz at the level it has at 44100 Hz, it starts where
// the latency port says, and the host's block sizes still do not matter.
TEST(Lv2Host, AtAnotherRateANoteKeepsItsPitchAndLevel) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  const Event note[] = {{0, {0x90, 69, 100}}};
  std::map<double, tavolin::test::Tone> tones;
  for (const double rate : {44100.0, 48000.0}) {
    const Song song{rate, static_cast<uint32_t>(3 * rate), note, {{"mode", 6.0f}}};
    float latency = -1;
    const std::vector<float> out = host.Render(song, {256}, &latency);
    ASSERT_EQ(out.size(), song.length);
    const auto onset = std::find_if(out.begin(), out.end(), [](float s) { return std::fabs(s) > 1e-3f; });
    EXPECT_NEAR(static_cast<double>(onset - out.begin()), latency, 4) << rate;
    tones[rate] = tavolin::test::Measure(std::span(out).subspan(static_cast<size_t>(rate / 2)), rate);
    EXPECT_NEAR(tones[rate].hz, 440.0, 0.1) << rate;
    if (rate != kEngineRate) {
      EXPECT_EQ(host.Render(song, {1, 17, 1000, 4096}, &latency), out) << "block sizes changed the output";
    }
  }
  EXPECT_NEAR(tones[48000.0].rms / tones[44100.0].rms, 1.0, 0.005);
}

// Activated again, it starts afresh: the note held before sounds no more.
TEST(Lv2Host, ActivatedAgainItStartsSilent) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  const Event held[] = {{0, {0x90, 45, 100}}};
  for (const double rate : {44100.0, 48000.0}) {
    Song song{rate, 8192, held, {}};
    song.restartAt = 4096;
    float latency = 0;
    const std::vector<float> out = host.Render(song, {512}, &latency);
    ASSERT_EQ(out.size(), song.length);
    EXPECT_NE(std::count(out.begin() + 2048, out.begin() + 4096, 0.0f), 2048) << rate;
    EXPECT_EQ(std::count(out.begin() + 4096, out.end(), 0.0f), 4096) << rate;
  }
}

// The unison tables are the plugin's state: restored, a saw's ratio and
// offset change the sound; saved and restored into a new instance they
// sound the same; a state without them is the tables at start.
TEST(Lv2Host, UnisonTablesTravelWithTheState) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  const Event note[] = {{0, {0x90, 45, 100}}};
  const SavedState given{{"urn:tavolin:synth#UnisonRatio3", Value(LV2_ATOM__Double, 0.5)},
                         {"urn:tavolin:synth#UnisonOffset3", Value(LV2_ATOM__Long, int64_t{4000000000})}};
  auto restoring = [](const SavedState& state) {
    return [state = SavedState(state)](LilvInstance* instance, UridMap& urids) mutable {
      StateAccess access{urids, state};
      EXPECT_EQ(StateOf(instance).restore(lilv_instance_get_handle(instance), Retrieve, &access, 0, nullptr),
                LV2_STATE_SUCCESS);
    };
  };
  SavedState saved;
  Song song{kEngineRate, 8192, note, {{"mode", 9.0f}}};
  song.before = restoring(given);
  song.after = [&saved](LilvInstance* instance, UridMap& urids) {
    StateAccess access{urids, saved};
    EXPECT_EQ(StateOf(instance).save(lilv_instance_get_handle(instance), Store, &access, 0, nullptr),
              LV2_STATE_SUCCESS);
  };
  float latency = 0;
  const std::vector<float> withGiven = host.Render(song, {256}, &latency);
  ASSERT_EQ(saved.size(), 16u);
  EXPECT_EQ(saved["urn:tavolin:synth#UnisonRatio3"], given.at("urn:tavolin:synth#UnisonRatio3"));
  EXPECT_EQ(saved["urn:tavolin:synth#UnisonOffset3"], given.at("urn:tavolin:synth#UnisonOffset3"));

  song.after = nullptr;
  song.before = restoring(saved);
  EXPECT_EQ(host.Render(song, {100}, &latency), withGiven);
  song.before = nullptr;
  const std::vector<float> atStart = host.Render(song, {256}, &latency);
  EXPECT_NE(atStart, withGiven);
  song.before = restoring({});
  EXPECT_EQ(host.Render(song, {256}, &latency), atStart);
}

// The vocoder's modulator file: set through patch:Set it is read in the
// host's worker and saved with the state; restored into a new instance it
// sounds the same whatever the calls; a file that cannot be read is logged
// and leaves the vocoder silent, with nothing in the state.
TEST(Lv2Host, TheVocoderFileIsReadInTheWorkerAndTravelsWithTheState) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  tavolin::test::TempFiles files;
  const std::string sweep = files.Write("sweep.wav", SweepWave());
  const Event note[] = {{0, {0x90, 45, 100}}, {0, {0x90, 57, 100}}};
  constexpr const char* kKey = "urn:tavolin:synth#vocoder";
  SavedState saved;
  auto saving = [&saved](LilvInstance* instance, UridMap& urids) {
    saved.clear();
    StateAccess access{urids, saved};
    EXPECT_EQ(StateOf(instance).save(lilv_instance_get_handle(instance), Store, &access, 0, nullptr),
              LV2_STATE_SUCCESS);
  };
  float latency = 0;
  Song song{kEngineRate, 8192, note, {}};
  const std::vector<float> plain = host.Render(song, {256}, &latency);

  song.vocoderAt0 = sweep;
  song.after = saving;
  const std::vector<float> set = host.Render(song, {256}, &latency);
  ASSERT_EQ(saved.count(kKey), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved[kKey].second.data())), sweep);
  EXPECT_NE(set, plain) << "the vocoder did not play";

  song.vocoderAt0.clear();
  song.after = nullptr;
  song.before = [state = saved](LilvInstance* instance, UridMap& urids) mutable {
    StateAccess access{urids, state};
    StateOf(instance).restore(lilv_instance_get_handle(instance), Retrieve, &access, 0, nullptr);
  };
  const std::vector<float> restored = host.Render(song, {256}, &latency);
  EXPECT_NE(restored, plain);
  EXPECT_EQ(host.Render(song, {17, 1000}, &latency), restored);

  song.before = nullptr;
  song.vocoderAt0 = files.Path("missing.wav");
  song.after = saving;
  EXPECT_EQ(host.Render(song, {256}, &latency), plain);
  EXPECT_NE(host.logged.find("missing.wav"), std::string::npos) << host.logged;
  EXPECT_EQ(saved.count(kKey), 0u);
}

// Standard numbering plays note n as live input plays n - 24, held to the
// note table's ends: note 69 is 440 Hz, and at live input it is two octaves
// up, at the table's own ratio (a shade wider than equal temperament).
TEST(Lv2Host, NoteNumberingChoosesWhereTheNotesLie) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  auto play = [&host](uint8_t note, float numbering) {
    const Event on[] = {{0, {0x90, note, 100}}};
    const Song song{kEngineRate, 3 * 44100, on, {{"mode", 6.0f}, {"numbering", numbering}}};
    float latency = 0;
    return host.Render(song, {512}, &latency);
  };
  constexpr float kStandard = 0, kLive = 1;
  const std::vector<float> a440 = play(69, kStandard);
  EXPECT_NEAR(tavolin::test::Measure(std::span(a440).subspan(22050), kEngineRate).hz, 440.0, 0.1);
  const double twoOctavesUp = 440.0 * std::pow(static_cast<double>(1.0595f), 24);
  const std::vector<float> up = play(69, kLive);
  EXPECT_NEAR(tavolin::test::Measure(std::span(up).subspan(22050), kEngineRate).hz, twoOctavesUp, 0.5);
  struct Same {
    uint8_t note;
    float numbering;
    uint8_t live;
  };
  for (const Same& c : {Same{0, kStandard, 0}, Same{24, kStandard, 0}, Same{69, kStandard, 45},
                        Same{127, kStandard, 103}, Same{127, kLive, 119}}) {
    EXPECT_EQ(c.note == 69 ? a440 : play(c.note, c.numbering), play(c.live, kLive))
        << "note " << int{c.note} << " numbering " << c.numbering;
  }
}

// A held note: all notes off (controller 123, any channel) lets it fade out
// as a note-off would, all sound off (120) ends it at once, another
// controller leaves it sounding.
TEST(Lv2Host, AllNotesOffReleasesAndAllSoundOffSilences) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  constexpr uint32_t kAt = 8 * 1024, kFade = 11025;  // the default fade-out, 0.25 s
  for (const uint8_t controller : {123, 120, 7}) {
    const Event events[] = {{0, {0x90, 69, 100}}, {kAt, {0xB5, controller, 0}}};
    const Song song{kEngineRate, kAt + kLatency + kFade + 4096, events, {{"mode", 6.0f}}};
    float latency = 0;
    const std::vector<float> out = host.Render(song, {300}, &latency);
    ASSERT_EQ(out.size(), song.length);
    auto rms = [&out](size_t from, size_t n) { return tavolin::test::Measure(std::span(out).subspan(from, n), 1).rms; };
    const double held = rms(kAt - 2048, 2048);
    const double after = rms(kAt + kLatency, 2048), end = rms(song.length - 2048, 2048);
    ASSERT_GT(held, 0.01);
    SCOPED_TRACE(controller);
    if (controller == 123) {
      EXPECT_GT(after, 0.5 * held) << "fading, not cut";
      EXPECT_LT(after, 0.98 * held);
      EXPECT_EQ(end, 0.0);
    } else if (controller == 120) {
      EXPECT_EQ(after, 0.0);
    } else {
      EXPECT_NEAR(end, held, 0.01 * held);
    }
  }
}

// The same messages as a MIDI file for tavolin-render --midi-in and as
// events for the plugin, at the frames --exact-positions puts them on; the
// plugin's ports set as the command line's options. Compensated, every
// mode's output is the renderer's, one block behind its eight; at zero
// latency a plain mode's notes sound where they are played, eight blocks
// before the renderer's (there a note-off or controller acts from its own
// frame, in the renderer from its block's start: so notes only).
TEST(Lv2Host, SoundsAsTavolinRenderWithTheSameSettings) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  struct Timed {
    uint32_t ms;
    Event event;
    uint8_t size;
  };
  const Timed everything[] = {
      {0, {0, {0x90, 45, 100}}, 3}, {16, {0, {0x91, 52, 90}}, 3}, {23, {0, {0xB0, 1, 80}}, 3},
      {68, {0, {0xE0, 0, 70}}, 3},  {102, {0, {0x80, 45, 0}}, 3}, {113, {0, {0x90, 64, 100}}, 3},
      {186, {0, {0xC0, 9, 0}}, 2},  {204, {0, {0x81, 52, 0}}, 3}, {227, {0, {0x80, 64, 0}}, 3}};
  const Timed notes[] = {{0, {0, {0x90, 45, 100}}, 3},
                         {16, {0, {0x91, 52, 90}}, 3},
                         {113, {0, {0x90, 64, 100}}, 3},
                         {113, {0, {0x90, 67, 100}}, 3},
                         {250, {0, {0x90, 33, 120}}, 3}};
  struct Case {
    const char* name;
    std::span<const Timed> timed;
    std::string options;
    std::map<std::string, float> controls;
    size_t offset;  // of the renderer's output against the plugin's
  };
  const Case cases[] = {
      {"compensated, detune",
       everything,
       "--mode 3 --set DetuneFact=0.25 --on DetuneOn --set LPFResoCut=1000 --on LPFResoOn",
       {{"compensated", 1.0f},
        {"mode", 3.0f},
        {"DetuneFact", 0.25f},
        {"DetuneOn", 1.0f},
        {"LPFResoCut", 1000.0f},
        {"LPFResoOn", 1.0f}},
       7 * 1024},
      {"zero latency, plain",
       notes,
       "--mode 3 --set LPFResoCut=1000 --on LPFResoOn",
       {{"mode", 3.0f}, {"LPFResoCut", 1000.0f}, {"LPFResoOn", 1.0f}},
       8 * 1024},
  };
  for (const Case& c : cases) {
    tavolin::test::Bytes track;
    std::vector<Event> events;
    uint32_t last = 0;
    for (const Timed& t : c.timed) {
      track = tavolin::test::Cat({track, Vlq(t.ms - last), {t.event.bytes, t.event.bytes + t.size}});
      last = t.ms;
      events.push_back({t.ms * 441 / 10, {t.event.bytes[0], t.event.bytes[1], t.event.bytes[2]}});
    }
    track = tavolin::test::Cat({track, {0, 0xFF, 0x2F, 0}});
    tavolin::test::TempFiles files;
    // 500 ticks a quarter at the default 120 beats a minute: a tick is a millisecond.
    const std::string keys = files.Write("keys.mid", tavolin::test::Smf(0, 500, {track}));
    const std::string wave = files.Path("keys.wav");
    // The plugin numbers notes as the MIDI standard does unless told otherwise.
    const std::string command = std::string(TAVOLIN_RENDER) + " --quiet --midi-in " + keys +
                                " --exact-positions --seconds 1 --note-numbering standard " + c.options + " -o " + wave;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(wave, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    const Song song{kEngineRate, 16 * 1024, events, c.controls};
    float latency = 0;
    const std::vector<float> plugin = host.Render(song, {333}, &latency);
    constexpr size_t kHeader = tavolin::kWaveHeaderBytes;
    ASSERT_GE(bytes.size(), kHeader + 2 * (c.offset + song.length)) << c.name;
    size_t differences = 0, sounding = 0;
    for (size_t n = 0; n < song.length; ++n) {
      const size_t at = kHeader + 2 * (c.offset + n);
      const auto rendered =
          static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
      differences += plugin[n] * 32768.0f != static_cast<float>(rendered);
      sounding += rendered != 0;
    }
    EXPECT_EQ(differences, 0u) << c.name;
    EXPECT_GT(sounding, song.length / 2) << c.name;
  }
}

}  // namespace
