#include "tools/OfflineRender.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/WaveFileWriter.h"
#include "tests/midi/TempFiles.h"
#include "tools/VirtualTimeRun.h"

namespace tavolin {
namespace {

using test::Bytes;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<int16_t> Samples(const Bytes& wave) {
  std::vector<int16_t> out;
  for (size_t i = kWaveHeaderBytes; i + 1 < wave.size(); i += 2) {
    out.push_back(static_cast<int16_t>(wave[i] | wave[i + 1] << 8));
  }
  return out;
}

// First sample at or after `from` that is not silent, or -1.
int64_t FirstSound(const std::vector<int16_t>& s, size_t from) {
  for (size_t i = from; i < s.size(); ++i) {
    if (s[i] != 0) return static_cast<int64_t>(i);
  }
  return -1;
}

struct OfflineRenderTest : ::testing::Test {
  test::TempFiles files;
  StderrWindowPort window{"tavolin-render"};

  RenderResult Render(const std::string& song, const std::string& out, RenderSettings settings = {}) {
    settings.songPath = song;
    settings.outPath = out;
    StderrSongReporter reporter("tavolin-render", song);
    return RenderSongToWave(settings, reporter, window, false);
  }
};

// A at 0 ms (to 100 ms), B at 1000 ms (to 1100 ms); 480 ticks per quarter at 120 bpm.
const Bytes kTwoNotes = {0x00, 0x90, 69, 0x64, 0x60, 0x80, 69, 0, 0x86, 0x60, 0x90, 72, 0x64, 0x60, 0x80, 72, 0};

TEST_F(OfflineRenderTest, NotesStartInTheBlockTheirDispatchTimeGivesThem) {
  const std::string song = files.Write("two.mid", test::Smf(0, 480, {kTwoNotes}));
  const std::string out = files.Path("two.wav");
  ASSERT_TRUE(Render(song, out).ok);
  const Bytes wave = ReadAll(out);
  ASSERT_GT(wave.size(), kWaveHeaderBytes);
  const uint32_t data = static_cast<uint32_t>(wave.size() - kWaveHeaderBytes);
  const auto header = MakeWaveHeader(WaveFormat{}, data);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), wave.begin()));
  EXPECT_EQ(data % 2048, 0u) << "whole device periods";

  const std::vector<int16_t> s = Samples(wave);
  // Eight silent start-up buffers; A anchors the clock at 0 ms and is
  // rendered into the first block refilled, heard from sample 8192 on.
  const int64_t a = FirstSound(s, 0);
  EXPECT_EQ(a / 1024, 8);
  // B is due once the song time passes 1000 ms: in the first period whose
  // clock reading reaches 1001 ms, and heard eight periods later.
  uint64_t period = 0;
  while (VirtualMilliseconds(period * 1024) < 1001) ++period;
  const int64_t b = FirstSound(s, 30000);  // A has died away long before
  EXPECT_EQ(b / 1024, static_cast<int64_t>(period + 8));
  // The file ends with the block in which the last voice died away.
  EXPECT_GE(FirstSound(s, s.size() - 1024), 0);
  EXPECT_EQ(s.back(), 0);
}

TEST_F(OfflineRenderTest, TheSameArgumentsGiveTheSameBytes) {
  // Two tracks: chords with bends and volume changes, drums on channel 10.
  // clang-format off
  const std::string song = files.Write("multi.mid", test::Smf(1, 96, {
      {0x00, 0xB0, 0x07, 0x50, 0x00, 0x90, 60, 0x64, 0x00, 64, 0x50, 0x00, 67, 0x40, 0x30, 0xE0, 0x00, 0x50,
       0x30, 0x80, 60, 0x00, 0x00, 64, 0x00, 0x00, 67, 0x00, 0x10, 0x90, 72, 0x7F, 0x81, 0x00, 0x80, 72, 0},
      {0x00, 0x99, 36, 0x7F, 0x18, 38, 0x7F, 0x18, 42, 0x60, 0x18, 36, 0x7F}}));
  // clang-format on
  RenderSettings settings;
  settings.engine.mode = 9;
  settings.engine.switches = {"DetuneOn", "LPFResoOn"};
  ASSERT_TRUE(Render(song, files.Path("1.wav"), settings).ok);
  ASSERT_TRUE(Render(song, files.Path("2.wav"), settings).ok);
  const Bytes first = ReadAll(files.Path("1.wav"));
  EXPECT_GT(first.size(), kWaveHeaderBytes + 16 * 2048u);
  EXPECT_TRUE(first == ReadAll(files.Path("2.wav")));
}

TEST_F(OfflineRenderTest, SecondsCutTheRenderToTheSample) {
  const std::string song = files.Write("held.mid", test::Smf(0, 480, {{0x00, 0x90, 60, 0x64}}));
  RenderSettings settings;
  settings.seconds = 0.5;
  const RenderResult r = Render(song, files.Path("half.wav"), settings);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.samples, 22050u);
  EXPECT_EQ(ReadAll(files.Path("half.wav")).size(), kWaveHeaderBytes + 44100u);
}

TEST_F(OfflineRenderTest, HeldNotesAndEmptySongsEnd) {
  // A note-on without a note-off sounds for ever: the render ends with the
  // song, once the block holding its last event has been played.
  const RenderResult held =
      Render(files.Write("held.mid", test::Smf(0, 480, {{0x00, 0x90, 60, 0x64}})), files.Path("held.wav"));
  EXPECT_TRUE(held.ok);
  EXPECT_EQ(held.samples, 9u * 1024);
  const RenderResult empty =
      Render(files.Write("meta.mid", test::Smf(0, 480, {{0x00, 0xFF, 0x2F, 0x00}})), files.Path("meta.wav"));
  EXPECT_TRUE(empty.ok);
  const auto s = Samples(ReadAll(files.Path("meta.wav")));
  EXPECT_EQ(s.size(), 9u * 1024);
  EXPECT_EQ(FirstSound(s, 0), -1);
}

TEST_F(OfflineRenderTest, RefusedOrMissingSongsWriteNothing) {
  EXPECT_FALSE(Render(files.Write("bad.mid", test::Header(2, 480)), files.Path("bad.wav")).ok);
  EXPECT_FALSE(std::filesystem::exists(files.Path("bad.wav")));
  EXPECT_FALSE(Render(files.Path("missing.mid"), files.Path("missing.wav")).ok);
  EXPECT_FALSE(std::filesystem::exists(files.Path("missing.wav")));
}

// A modulator of eight silent frames, started with the song: the eight
// blocks rendered while it plays are silenced, so the held note is heard
// eight periods later than without it. A file that is no WAVE file is refused.
TEST_F(OfflineRenderTest, AVocoderFileStartsWithTheSong) {
  const std::string song = files.Write("held.mid", test::Smf(0, 480, {{0x00, 0x90, 69, 0x64}}));
  Bytes silence = {'R', 'I', 'F', 'F', 0x24, 0x40, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 0x00, 0x40, 0, 0};
  silence.resize(silence.size() + 8 * 2048, 0);
  RenderSettings settings;
  settings.seconds = 1.0;
  settings.engine.vocoderPath = files.Write("silence.wav", silence);
  ASSERT_TRUE(Render(song, files.Path("vocoded.wav"), settings).ok);
  EXPECT_EQ(FirstSound(Samples(ReadAll(files.Path("vocoded.wav"))), 0) / 1024, 16);

  settings.engine.vocoderPath = song;
  EXPECT_FALSE(Render(song, files.Path("refused.wav"), settings).ok);
  EXPECT_FALSE(std::filesystem::exists(files.Path("refused.wav")));
}

// Played as live input, a program change and a pitch bend in the file act as
// --mode and --set PitchBend do, and each note starts at its own time.
TEST_F(OfflineRenderTest, MidiInPlaysTheFilesMessagesAsAKeyboardWould) {
  RenderSettings live;
  live.liveInput = true;
  const Bytes program9Bend1 = {0x00, 0xC0, 9, 0x00, 0xE0, 0x00, 0x60};  // 12288: one semitone up
  ASSERT_TRUE(Render(files.Write("messages.mid", test::Smf(0, 480, {test::Cat({program9Bend1, kTwoNotes})})),
                     files.Path("messages.wav"), live)
                  .ok);
  RenderSettings set = live;
  set.engine.mode = 9;
  set.engine.params = {{"PitchBend", 1.0}};
  ASSERT_TRUE(Render(files.Write("notes.mid", test::Smf(0, 480, {kTwoNotes})), files.Path("set.wav"), set).ok);
  const Bytes played = ReadAll(files.Path("messages.wav"));
  EXPECT_TRUE(played == ReadAll(files.Path("set.wav")));

  const std::vector<int16_t> s = Samples(played);
  EXPECT_EQ(FirstSound(s, 0) / 1024, 8);
  uint64_t period = 0;
  while (VirtualMilliseconds(period * 1024) < 1000) ++period;
  EXPECT_EQ(FirstSound(s, 30000) / 1024, static_cast<int64_t>(period + 8));
  EXPECT_EQ(s.back(), 0) << "released by their note-offs, the voices died away";
}

// A note-on at 30 ms (500 ticks per quarter at 120 bpm: one tick a
// millisecond) falls on sample 1323, inside period 1. Placed exactly, it is
// heard from that sample + 8192; otherwise from the first period whose clock
// reading reaches 30 ms (period 2), eight periods later.
TEST_F(OfflineRenderTest, ExactPositionsStartANoteAtItsOwnSample) {
  const std::string keys = files.Write("at30.mid", test::Smf(0, 500, {{0x1E, 0x90, 69, 0x64, 0x46, 0x80, 69, 0}}));
  RenderSettings live;
  live.liveInput = true;
  for (const bool exact : {true, false}) {
    live.exactPositions = exact;
    ASSERT_TRUE(Render(keys, files.Path("at30.wav"), live).ok);
    EXPECT_EQ(FirstSound(Samples(ReadAll(files.Path("at30.wav"))), 0), exact ? 1323 + 8192 : 2048 + 8192)
        << "exact: " << exact;
  }
}

}  // namespace
}  // namespace tavolin
