// The plugin as hosts load it, given odd and hostile input: the notify
// port's answers, old hosts' atom:Blank, restored state out of range, a
// worker that refuses, a path too long, an input buffer of another type,
// calls of no frames or more than the host said, and two instances side by
// side.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "LilvHost.h"
#include "SweepWave.h"
#include "tests/midi/TempFiles.h"

namespace {

using namespace lv2test;

constexpr const char* kVocoder = "urn:tavolin:synth#vocoder";
const Event kNote[] = {{0, {0x90, 45, 100}}, {0, {0x90, 57, 100}}};

LV2_URID Map(UridMap& urids, const char* uri) { return urids.map.map(urids.map.handle, uri); }

// A patch message at the call's first frame: of `otype`, about `property`
// (null: none), with a path value (null: none), as an atom:Object or Blank.
void ForgePatch(LV2_Atom_Forge& sequence, UridMap& urids, const char* otype, const char* property, const char* path,
                bool blank) {
  std::vector<uint8_t> bytes(256 + (path != nullptr ? std::strlen(path) : 0));
  LV2_Atom_Forge forge;
  lv2_atom_forge_init(&forge, &urids.map);
  lv2_atom_forge_set_buffer(&forge, bytes.data(), bytes.size());
  LV2_Atom_Forge_Frame object;
  lv2_atom_forge_object(&forge, &object, 0, Map(urids, otype));
  if (property != nullptr) {
    lv2_atom_forge_key(&forge, Map(urids, LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, Map(urids, property));
  }
  if (path != nullptr) {
    lv2_atom_forge_key(&forge, Map(urids, LV2_PATCH__value));
    lv2_atom_forge_path(&forge, path, static_cast<uint32_t>(std::strlen(path)));
  }
  lv2_atom_forge_pop(&forge, &object);
  auto* atom = reinterpret_cast<LV2_Atom*>(bytes.data());
  if (blank) atom->type = Map(urids, LV2_ATOM__Blank);
  lv2_atom_forge_frame_time(&sequence, 0);
  lv2_atom_forge_write(&sequence, bytes.data(), lv2_atom_total_size(atom));
}

// patch:Get with and without a property is answered in the same call with
// the path in use ("" before any); a new file is told in the call after
// the one that set it (the worker read it in between), a file that cannot
// be read as ""; a Get of another property is not ours to answer. Old
// hosts' atom:Blank is taken as an atom:Object.
TEST(Lv2HostileInput, TheNotifyPortAnswersGetAndTellsEachNewFile) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  tavolin::test::TempFiles files;
  const std::string sweep = files.Write("sweep.wav", SweepWave());
  const std::string missing = files.Path("missing.wav");
  for (const bool blank : {false, true}) {
    Song song{kEngineRate, 10 * 512, kNote, {}};
    song.messages = [&](LV2_Atom_Forge& forge, UridMap& urids, uint32_t at) {
      switch (at / 512) {
        case 0: ForgePatch(forge, urids, LV2_PATCH__Get, nullptr, nullptr, blank); break;
        case 1: ForgePatch(forge, urids, LV2_PATCH__Set, kVocoder, sweep.c_str(), blank); break;
        case 3: ForgePatch(forge, urids, LV2_PATCH__Get, kVocoder, nullptr, blank); break;
        case 4: ForgePatch(forge, urids, LV2_PATCH__Get, LV2_PATCH__value, nullptr, blank); break;
        case 5: ForgePatch(forge, urids, LV2_PATCH__Set, LV2_PATCH__value, sweep.c_str(), blank); break;
        case 6: ForgePatch(forge, urids, LV2_PATCH__Set, kVocoder, missing.c_str(), blank); break;
        default: break;
      }
    };
    float latency = 0;
    std::vector<Notified> notified;
    host.Render(song, {512}, &latency, &notified);
    const std::vector<Notified> expected{{0, ""}, {2, sweep}, {3, sweep}, {7, ""}};
    EXPECT_EQ(notified, expected) << (blank ? "atom:Blank" : "atom:Object");
  }
}

// Restored, the vocoder's file is told in the first call.
TEST(Lv2HostileInput, ARestoredFileIsToldInTheFirstCall) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  tavolin::test::TempFiles files;
  const std::string sweep = files.Write("sweep.wav", SweepWave());
  std::vector<uint8_t> bytes(sweep.begin(), sweep.end());
  bytes.push_back(0);
  Song song{kEngineRate, 2048, kNote, {}};
  song.before = [&](LilvInstance* instance, UridMap& urids) {
    SavedState state{{kVocoder, {LV2_ATOM__Path, bytes}}};
    StateAccess access{urids, state};
    StateOf(instance).restore(lilv_instance_get_handle(instance), Retrieve, &access, 0, nullptr);
  };
  float latency = 0;
  std::vector<Notified> notified;
  host.Render(song, {1024}, &latency, &notified);
  EXPECT_EQ(notified, (std::vector<Notified>{{0, sweep}}));
}

// A restored unison value that --set would refuse is the value at start,
// and the host's log names the key and the value.
TEST(Lv2HostileInput, ARestoredUnisonValueOutOfRangeIsTheValueAtStartAndLogged) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  Song song{kEngineRate, 4096, kNote, {{"mode", 9.0f}}};
  float latency = 0;
  const std::vector<float> atStart = host.Render(song, {1024}, &latency);
  struct Case {
    const char* key;
    std::pair<std::string, std::vector<uint8_t>> value;
    const char* shown;
  };
  const Case cases[] = {
      {"urn:tavolin:synth#UnisonRatio2", Value(LV2_ATOM__Double, std::numeric_limits<double>::quiet_NaN()), "nan"},
      {"urn:tavolin:synth#UnisonRatio5", Value(LV2_ATOM__Double, -std::numeric_limits<double>::infinity()), "-inf"},
      {"urn:tavolin:synth#UnisonOffset0", Value(LV2_ATOM__Long, int64_t{-1}), "-1"},
      {"urn:tavolin:synth#UnisonOffset7", Value(LV2_ATOM__Long, int64_t{4294967296}), "4294967296"},
      {"urn:tavolin:synth#UnisonOffset3", Value(LV2_ATOM__Double, 5.0), "not a long"},
  };
  for (const Case& c : cases) {
    host.logged.clear();
    song.before = [&](LilvInstance* instance, UridMap& urids) {
      SavedState state{{c.key, c.value}};
      StateAccess access{urids, state};
      EXPECT_EQ(StateOf(instance).restore(lilv_instance_get_handle(instance), Retrieve, &access, 0, nullptr),
                LV2_STATE_SUCCESS);
    };
    EXPECT_EQ(host.Render(song, {1024}, &latency), atStart) << c.key;
    EXPECT_NE(host.logged.find(std::string(c.key) + " "), std::string::npos) << host.logged;
    EXPECT_NE(host.logged.find(c.shown), std::string::npos) << host.logged;
    EXPECT_EQ(std::count(host.logged.begin(), host.logged.end(), '\n'), 1) << host.logged;
  }
}

// A path longer than the worker takes, and a path the host's worker
// refuses, are each one line in the host's log; nothing is read or told.
TEST(Lv2HostileInput, APathRefusedIsLoggedAndNotRead) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  tavolin::test::TempFiles files;
  const std::string sweep = files.Write("sweep.wav", SweepWave());
  const std::string tooLong = "/" + std::string(5000, 'a') + ".wav";
  struct Case {
    std::string path;
    LV2_Worker_Status worker;
    std::string logged;
  };
  const Case cases[] = {{tooLong, LV2_WORKER_SUCCESS, "5005 bytes is refused"},
                        {sweep, LV2_WORKER_ERR_NO_SPACE, "did not take the vocoder file " + sweep}};
  float latency = 0;
  Song song{kEngineRate, 4096, kNote, {}};
  const std::vector<float> plain = host.Render(song, {1024}, &latency);
  for (const Case& c : cases) {
    host.logged.clear();
    song.vocoderAt0 = c.path;
    song.worker = c.worker;
    std::vector<Notified> notified;
    EXPECT_EQ(host.Render(song, {1024}, &latency, &notified), plain);
    EXPECT_TRUE(notified.empty());
    EXPECT_NE(host.logged.find(c.logged), std::string::npos) << host.logged;
    EXPECT_EQ(std::count(host.logged.begin(), host.logged.end(), '\n'), 1) << host.logged;
  }
}

// A MIDI input whose buffer is no atom:Sequence, or whose sequence ends
// inside an event, is not read: the notes do not sound.
TEST(Lv2HostileInput, AnInputThatIsNoWholeSequenceIsIgnored) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  const Event note[] = {{0, {0x90, 45, 100}}};
  Song song{kEngineRate, 4096, note, {}};
  float latency = 0;
  const std::vector<float> played = host.Render(song, {1024}, &latency);
  ASSERT_NE(std::count(played.begin(), played.end(), 0.0f), 4096);
  const std::vector<std::function<void(LV2_Atom_Sequence&, UridMap&)>> tampers{
      [](LV2_Atom_Sequence& in, UridMap& urids) { in.atom.type = Map(urids, LV2_ATOM__Chunk); },
      // Ends in the note's bytes, in its header.
      [](LV2_Atom_Sequence& in, UridMap&) {
        in.atom.size = sizeof(LV2_Atom_Sequence_Body) + sizeof(LV2_Atom_Event) + 2;
      },
      [](LV2_Atom_Sequence& in, UridMap&) { in.atom.size = sizeof(LV2_Atom_Sequence_Body) + 4; },
  };
  for (size_t i = 0; i < tampers.size(); ++i) {
    song.input = tampers[i];
    const std::vector<float> out = host.Render(song, {1024}, &latency);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0.0f), 4096) << "case " << i;
  }
}

// Calls of no frames, and calls longer than the host's stated maximum,
// give what calls within it give.
TEST(Lv2HostileInput, CallsOfNoFramesOrMoreThanTheHostsMaximumPlayAlike) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  const Event events[] = {{0, {0x90, 45, 100}}, {5000, {0x90, 52, 90}}, {9000, {0x80, 45, 0}}};
  for (const double rate : {44100.0, 48000.0}) {
    const Song song{rate, 3 * kHostMaxFrames, events, {}};
    float latency = 0;
    const std::vector<float> reference = host.Render(song, {1024}, &latency);
    for (const std::vector<uint32_t>& sizes : std::vector<std::vector<uint32_t>>{
             {0, 700}, {kHostMaxFrames + 1}, {3 * kHostMaxFrames}, {0, 2 * kHostMaxFrames + 3, 0, 5}}) {
      EXPECT_EQ(host.Render(song, sizes, &latency), reference) << rate << " Hz, calls of " << sizes[0] << ", ...";
    }
  }
}

// Two instances in one process, their calls interleaved, each with its own
// controls, vocoder file and state, sound as each does alone and save what
// each was given.
TEST(Lv2HostileInput, TwoInstancesSideBySideKeepTheirOwnSettings) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  tavolin::test::TempFiles files;
  const std::string low = files.Write("low.wav", SweepWave(100.0));
  const std::string high = files.Write("high.wav", SweepWave(1500.0));
  auto restoring = [](double ratio) {
    return [ratio](LilvInstance* instance, UridMap& urids) {
      SavedState state{{"urn:tavolin:synth#UnisonRatio3", Value(LV2_ATOM__Double, ratio)}};
      StateAccess access{urids, state};
      StateOf(instance).restore(lilv_instance_get_handle(instance), Retrieve, &access, 0, nullptr);
    };
  };
  std::vector<SavedState> saved(2);
  auto saving = [&saved](size_t which) {
    return [&saved, which](LilvInstance* instance, UridMap& urids) {
      StateAccess access{urids, saved[which]};
      StateOf(instance).save(lilv_instance_get_handle(instance), Store, &access, 0, nullptr);
    };
  };
  Song songs[2] = {{kEngineRate, 8192, kNote, {{"mode", 9.0f}, {"DetuneOn", 1.0f}}},
                   {kEngineRate, 8192, kNote, {{"mode", 9.0f}, {"MasterVol", 0.5f}}}};
  songs[0].vocoderAt0 = low;
  songs[1].vocoderAt0 = high;
  songs[0].before = restoring(0.5);
  songs[1].before = restoring(2.0);
  float latency = 0;
  const std::vector<float> alone[2] = {host.Render(songs[0], {256}, &latency), host.Render(songs[1], {256}, &latency)};
  ASSERT_NE(alone[0], alone[1]);

  songs[0].after = saving(0);
  songs[1].after = saving(1);
  Session a(host, host.plugin(), songs[0]);
  Session b(host, host.plugin(), songs[1]);
  ASSERT_NE(a.instance(), nullptr);
  ASSERT_NE(b.instance(), nullptr);
  while (!a.Done() || !b.Done()) {
    if (!a.Done()) a.Call(256);
    if (!b.Done()) b.Call(256);
  }
  a.Finish();
  b.Finish();
  EXPECT_EQ(a.out, alone[0]);
  EXPECT_EQ(b.out, alone[1]);
  // Each restored state without a file first, then each its own file.
  EXPECT_EQ(a.notified, (std::vector<Notified>{{0, ""}, {1, low}}));
  EXPECT_EQ(b.notified, (std::vector<Notified>{{0, ""}, {1, high}}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved[0][kVocoder].second.data())), low);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved[1][kVocoder].second.data())), high);
  EXPECT_EQ(saved[0]["urn:tavolin:synth#UnisonRatio3"], Value(LV2_ATOM__Double, 0.5));
  EXPECT_EQ(saved[1]["urn:tavolin:synth#UnisonRatio3"], Value(LV2_ATOM__Double, 2.0));
}

}  // namespace
