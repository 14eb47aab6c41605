#include "midi/player/ConvertSmf.h"

#include <gtest/gtest.h>

#include <memory>

#include "RecordingReporter.h"
#include "SmfBytes.h"

namespace tavolin {
namespace {

using test::Bytes;
using test::Cat;
using test::Smf;

struct Converted {
  EventList events;
  std::vector<std::string> errors;
  std::vector<std::string> titles;
  bool closed = false;
};

// Converts from a buffer of exactly the file plus its end mark, so that the
// address sanitizer catches any read beyond them.
Converted Convert(const Bytes& file, test::RecordingReporter* reporterIn = nullptr, bool keepMessages = false) {
  auto buffer = std::make_unique<uint8_t[]>(file.size() + 4);
  std::copy(file.begin(), file.end(), buffer.get());
  std::fill_n(buffer.get() + file.size(), 4, 0xFF);
  test::RecordingReporter own;
  test::RecordingReporter& reporter = reporterIn ? *reporterIn : own;
  Converted out;
  out.events = keepMessages ? ConvertSmfMessages(reporter, buffer.get(), file.size())
                            : ConvertSmf(reporter, buffer.get(), file.size(), [&out] { out.closed = true; });
  out.errors = reporter.Errors();
  out.titles = reporter.Titles();
  return out;
}

std::string Error(const char* text) { return std::string("Error: ") + text; }

SeqEvent On(uint32_t time, uint32_t ch, uint32_t key, double level) {
  return {.type = NoteOn, .time = time, .channel = ch, .key = key, .level = level};
}
SeqEvent Off(uint32_t time, uint32_t ch, uint32_t key) {
  return {.type = NoteOff, .time = time, .channel = ch, .key = key};
}

void ExpectEvents(const EventList& got, const EventList& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].type, want[i].type);
    EXPECT_EQ(got[i].time, want[i].time);
    if (want[i].type != Tempo) {
      EXPECT_EQ(got[i].channel, want[i].channel);
    }
    if (want[i].type <= Tempo || want[i].type == ChannelMessage) {
      EXPECT_EQ(got[i].key, want[i].key);
    }
    if (want[i].type == NoteOn) {
      EXPECT_EQ(got[i].level, want[i].level);
    }
    if (want[i].type >= Bend) {
      EXPECT_EQ(got[i].value, want[i].value);
    }
  }
}

// The MIDI files below are laid out an event or a chunk to a line.
// clang-format off
const Bytes kOneNoteFile = {0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                            0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 0x14,
                            0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0x90, 0x3C, 0x64,
                            0x83, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00};

TEST(ConvertSmf, WorkedExampleGivesTempoNoteOnAndNoteOffWithTitles) {
  const Converted c = Convert(kOneNoteFile);
  EXPECT_TRUE(c.errors.empty());
  EXPECT_TRUE(c.closed);
  ExpectEvents(c.events, {{.type = Tempo, .time = 0, .key = 500000}, On(0, 0, 60, 100), Off(500, 0, 60)});
  // Progress at the track's first event (offset 0) only: 22 x 100 / 42 = 52.
  EXPECT_EQ(c.titles, (std::vector<std::string>{"Closing...", "Converting...",
                                                 "Converting... 52% (22/42 bytes processed.)", "Timing..."}));
}

TEST(ConvertSmf, ProgressEveryHundredBytesOfTrackPumpsEvents) {
  Bytes events;
  for (int i = 0; i < 60; ++i) events = Cat({events, {0x00, 0x90, 0x3C, 0x64}});  // events at 0, 4, 8 ...
  test::RecordingReporter reporter;
  const Converted c = Convert(Smf(0, 480, {events}), &reporter);
  // Offsets 0, 100 and 200 within the track start events.
  EXPECT_EQ(reporter.pumps, 3);
  EXPECT_EQ(c.titles[3], "Converting... 46% (122/262 bytes processed.)");
}

TEST(ConvertSmf, TimingTruncatesEachStepAndTempoActsFromTheNextEvent) {
  Bytes ticks;  // ten events one tick apart at 480 ticks per quarter, 120 bpm
  for (int i = 0; i < 10; ++i) ticks = Cat({ticks, {0x01, 0x90, 0x3C, 0x64}});
  const Converted ten = Convert(Smf(0, 480, {ticks}));
  ASSERT_EQ(ten.events.size(), 10u);
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(ten.events[i].time, i + 1);

  // 600000 us gives 100 bpm, 428571 gives 140; the tempo event itself is timed with the old tempo.
  const Converted c = Convert(Smf(0, 96, {{0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0,   // 600000 at 0
                                           0x60, 0x90, 0x3C, 0x64,                     // +96: 600 ms
                                           0x60, 0xFF, 0x51, 0x03, 0x06, 0x8A, 0x1B,   // +96: 1200, 428571
                                           0x60, 0x80, 0x3C, 0x00}}));                 // +96: 1200 + 428
  ASSERT_EQ(c.events.size(), 4u);
  EXPECT_EQ(c.events[1].time, 600u);
  EXPECT_EQ(c.events[2].time, 1200u);
  EXPECT_EQ(c.events[3].time, 1628u);  // trunc(1 x 60/140 x 1000)
}

TEST(ConvertSmf, TimingRunsAfterTheMergeSoTempoTrackTimesEveryTrack) {
  const Converted c = Convert(Smf(1, 96, {{0x81, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90},  // 192: 250000 us
                                          {0x00, 0x90, 0x40, 0x50, 0x83, 0x00, 0x80, 0x40, 0x00,   // 0, 384
                                           0x60, 0x90, 0x43, 0x50}}));                              // 480
  ExpectEvents(c.events, {On(0, 0, 64, 80), {.type = Tempo, .time = 1000, .key = 250000}, Off(1500, 0, 64),
                          On(1750, 0, 67, 80)});
}

TEST(ConvertSmf, EqualTicksKeepTrackOrderThenFileOrder) {
  const Converted c = Convert(Smf(1, 480, {{0x00, 0x90, 0x3C, 0x64, 0x00, 0x90, 0x3D, 0x64, 0x0A, 0x80, 0x3C, 0},
                                          {0x00, 0x91, 0x40, 0x64, 0x0A, 0x81, 0x40, 0x00},
                                          {0x00, 0x92, 0x50, 0x64}}));
  ASSERT_EQ(c.events.size(), 6u);
  const uint32_t keys[] = {0x3C, 0x3D, 0x40, 0x50, 0x3C, 0x40};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(c.events[i].key, keys[i]) << i;
}

TEST(ConvertSmf, RunningStatusAppliesToChannelMetaAndSystemStatuses) {
  // Velocity 0 is a note-off; pairs without status repeat the note-on.
  const Converted notes = Convert(Smf(0, 480, {{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x50, 0x00, 0x40, 0x00}}));
  ExpectEvents(notes.events, {On(0, 0, 60, 100), On(0, 0, 62, 80), Off(0, 0, 64)});

  // After a text meta event, a data byte starts another meta event: here a tempo.
  const Converted meta = Convert(Smf(0, 480, {{0x00, 0xFF, 0x01, 0x00, 0x00, 0x51, 0x03, 0x07, 0xA1, 0x20}}));
  ExpectEvents(meta.events, {{.type = Tempo, .time = 0, .key = 500000}});

  // Without any status yet, bytes are read as delta times (0x10 + 0x20 ticks).
  const Converted lead = Convert(Smf(0, 480, {{0x10, 0x20, 0x90, 0x3C, 0x64}}));
  ASSERT_EQ(lead.events.size(), 1u);
  EXPECT_EQ(lead.events[0].time, 50u);  // 48 ticks at 480 per quarter, 120 bpm

  // Sysex, program change, channel pressure, poly pressure and one-byte system statuses yield nothing.
  const Converted skipped = Convert(Smf(0, 480, {{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x00, 0xC3, 0x05,
                                                  0x00, 0xD3, 0x05, 0x00, 0xA3, 0x3C, 0x10, 0x00, 0xF8,
                                                  0x00, 0x93, 0x3C, 0x64}}));
  ExpectEvents(skipped.events, {On(0, 3, 60, 100)});
}

TEST(ConvertSmf, TempoUsesTheFirstThreeBytesAndSkipsTheDeclaredLength) {
  const Converted c = Convert(Smf(0, 480, {{0x00, 0xFF, 0x51, 0x05, 0x07, 0xA1, 0x20, 0x99, 0x99,
                                            0x00, 0xFF, 0x51, 0x02, 0x09, 0x27,  // declares two bytes
                                            0x00, 0x90, 0x3C, 0x64}}));
  ASSERT_EQ(c.events.size(), 3u);
  EXPECT_EQ(c.events[0].key, 500000u);
  EXPECT_EQ(c.events[1].key, 0x092700u);  // the third byte is the next event's delta
  EXPECT_EQ(c.events[2].type, NoteOn);
}

TEST(ConvertSmf, VolumeAndExpressionScaleLevelsPerTrack) {
  const Converted c = Convert(Smf(1, 480, {{0x00, 0xB0, 0x07, 0x64, 0x00, 0x90, 0x3C, 0x64,
                                            0x00, 0xB0, 0x2B, 0x00,        // expression lower 7 bits: no event
                                            0x00, 0xB0, 0x0B, 0x40, 0x00, 0x90, 0x3E, 0x64},
                                           {0x00, 0x90, 0x3C, 0x64}}));
  ASSERT_EQ(c.events.size(), 5u);
  EXPECT_EQ(c.events[0].type, Volume);
  EXPECT_EQ(c.events[0].value, 12927 / 16383.0);
  EXPECT_EQ(c.events[1].level, 78);  // trunc(trunc(100 x 12927 / 16383) x 16383 / 16383)
  EXPECT_EQ(c.events[2].type, Volume);  // expression: 64 x 128 + 0
  EXPECT_EQ(c.events[2].value, 8192 / 16383.0);
  EXPECT_EQ(c.events[3].level, 39);  // trunc(trunc(100 x 12927 / 16383) x 8192 / 16383)
  EXPECT_EQ(c.events[4].level, 100);  // the other track starts afresh

  // Controller 39 sets the lower bits; volume 0 is not silence.
  const Converted low = Convert(Smf(0, 480, {{0x00, 0xB2, 0x07, 0x00, 0x00, 0xB2, 0x27, 0x05}}));
  ASSERT_EQ(low.events.size(), 2u);
  EXPECT_EQ(low.events[0].value, 127 / 16383.0);
  EXPECT_EQ(low.events[1].value, 5 / 16383.0);
  EXPECT_EQ(low.events[1].channel, 2u);
}

TEST(ConvertSmf, BendFollowsRegisteredParameterZeroOfItsTrack) {
  const Converted c = Convert(Smf(1, 480, {{0x00, 0xE0, 0x7F, 0x7F, 0x00, 0xE0, 0x00, 0x00,
                                            0x00, 0xB0, 0x65, 0x00, 0x00, 0xB0, 0x64, 0x00, 0x00, 0xB0, 0x06, 0x0C,
                                            0x00, 0xB0, 0x26, 0x32,  // cents: the range stays whole semitones
                                            0x00, 0xE0, 0x7F, 0x7F,
                                            0x00, 0xB0, 0x65, 0x7F, 0x00, 0xB0, 0x64, 0x7F, 0x00, 0xB0, 0x06, 0x01,
                                            0x00, 0xE0, 0x00, 0x60},
                                           {0x00, 0xE5, 0x7F, 0x7F}}));
  ASSERT_EQ(c.events.size(), 5u);
  EXPECT_EQ(c.events[0].value, 1.999755859375);
  EXPECT_EQ(c.events[1].value, -2.0);
  EXPECT_EQ(c.events[2].value, 8191 * 12 / 8192.0);
  EXPECT_EQ(c.events[3].value, 6.0);  // after deselecting, data entry leaves the range at 12
  EXPECT_EQ(c.events[4].value, 1.999755859375);  // a track starts at 2 semitones
  EXPECT_EQ(c.events[4].channel, 5u);
}

TEST(ConvertSmf, RefusedHeadersLeaveTheSongAlone) {
  const struct {
    Bytes file;
    const char* message;
  } cases[] = {
      {{'M', 'T', 'h'}, kNoMThd},
      {Cat({{'M', 'T', 'r', 'k'}, Bytes(10, 0)}), kNoMThd},
      {{'M', 'T', 'h', 'd', 0, 0}, kTruncatedHeader},
      {Cat({{'M', 'T', 'h', 'd'}, test::Be32(8), Bytes(8, 0)}), kBadHeaderSize},
      {{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1}, kTruncatedHeader},
      {test::Header(2, 480), kBadFormat},
      {test::Header(0, 0), kZeroDivision},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.message);
    const Converted c = Convert(t.file);
    EXPECT_EQ(c.errors, std::vector<std::string>{Error(t.message)});
    EXPECT_TRUE(c.events.empty());
    EXPECT_FALSE(c.closed);
    EXPECT_TRUE(c.titles.empty());
  }
}

TEST(ConvertSmf, BrokenChunksAndEventsAreRefusedAfterClosingTheSong) {
  const Bytes note = {0x00, 0x90, 0x3C, 0x64};
  const Bytes good = Smf(0, 480, {note});
  const struct {
    Bytes file;
    const char* message;
  } cases[] = {
      {Cat({good, test::Chunk("XTRA", {1, 2})}), kUnknownChunk},
      // The id is judged before the length that the file cuts short.
      {Cat({good, {'X', 'T', 'R', 'A', 0, 0}}), kUnknownChunk},
      {Cat({test::Header(0, 480), test::Chunk("MTrk", note), {'M', 'T', 'r'}}), kTruncatedChunk},
      {Cat({test::Header(0, 480), {'M', 'T', 'r', 'k'}, test::Be32(5), note}), kChunkPastEnd},
      {Cat({test::Header(0, 480), {'M', 'T', 'r', 'k'}, test::Be32(0xFFFFFFFF), note}), kChunkPastEnd},
      // An event that runs out of the track and off the end of the file.
      {Cat({test::Header(0, 480), test::Chunk("MTrk", {0x00, 0x90, 0x3C})}), kEventPastEnd},
      {Cat({test::Header(0, 480), test::Chunk("MTrk", {0x81, 0x82})}), kEventPastEnd},
      {Cat({test::Header(0, 480), test::Chunk("MTrk", {0x00, 0xFF, 0x51, 0x03, 0x07})}), kEventPastEnd},
      {Cat({test::Header(0, 480), test::Chunk("MTrk", {0x00, 0xF0, 0x85})}), kEventPastEnd},
      {Cat({test::Header(0, 480), test::Chunk("MTrk", {0x00, 0xFF})}), kEventPastEnd},
      {Cat({test::Header(0, 480), test::Chunk("MTrk", {0x00})}), kEventPastEnd},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.message);
    const Converted c = Convert(t.file);
    EXPECT_EQ(c.errors, std::vector<std::string>{Error(t.message)});
    EXPECT_TRUE(c.events.empty());
    EXPECT_TRUE(c.closed);
  }
}

TEST(ConvertSmf, EndMarksEventsReadingIntoTheNextChunkAndLongSkips) {
  // An explicit end mark stops the walk before trailing garbage.
  const Converted marked = Convert(Cat({Smf(0, 480, {{0x00, 0x90, 0x3C, 0x64}}), {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}}));
  EXPECT_TRUE(marked.errors.empty());
  EXPECT_EQ(marked.events.size(), 1u);
  // A note cut at the track's end reads its data from the following bytes of the
  // file; the walk still goes on where the length field says.
  const Converted spill = Convert(Cat({test::Header(1, 480), test::Chunk("MTrk", {0x00, 0x90, 0x3C}),
                                      test::Chunk("MTrk", {0x00, 0x91, 0x40, 0x64})}));
  EXPECT_TRUE(spill.errors.empty());
  ASSERT_EQ(spill.events.size(), 2u);
  EXPECT_EQ(spill.events[0].level, 'M');  // the next chunk's first byte
  // A sysex whose length reaches past the track ends the track without reading.
  const Converted skip = Convert(Smf(0, 480, {{0x00, 0x90, 0x3C, 0x64, 0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F}}));
  EXPECT_TRUE(skip.errors.empty());
  EXPECT_EQ(skip.events.size(), 1u);
}

TEST(ConvertSmf, FilesWithoutEventsGiveNoList) {
  const Converted metaOnly = Convert(Smf(1, 480, {{0x00, 0xFF, 0x03, 0x02, 'h', 'i'}, {0x00, 0xFF, 0x2F, 0x00}}));
  EXPECT_TRUE(metaOnly.errors.empty());
  EXPECT_TRUE(metaOnly.closed);
  EXPECT_TRUE(metaOnly.events.empty());
  const Converted noTracks = Convert(test::Header(1, 480));
  EXPECT_TRUE(noTracks.errors.empty());
  EXPECT_TRUE(noTracks.events.empty());
}

TEST(ConvertSmf, EscapeEndsEachTrackButKeepsWhatWasRead) {
  test::RecordingReporter reporter;
  reporter.escapeFromCall = 3;  // two events of the first track are read
  const Converted c = Convert(Smf(1, 480, {{0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00, 0x00, 0x90, 0x3E, 0x64},
                                          {0x00, 0x91, 0x40, 0x64}}),
                              &reporter);
  ExpectEvents(c.events, {On(0, 0, 60, 100), Off(500, 0, 60)});
}

TEST(ConvertSmf, ZeroTempoLeavesTheTempoAsItWas) {
  const Converted c = Convert(Smf(0, 480, {{0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00, 0x83, 0x60, 0x90, 0x3C, 0x64}}));
  ASSERT_EQ(c.events.size(), 2u);
  EXPECT_EQ(c.events[1].time, 500u);
}

TEST(ConvertSmf, KeptMessagesStandAsInTheFileTimedTheSameWay) {
  const Bytes track = {0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00,  // note-on; +96 by running status: velocity 0
                       0x00, 0xF0, 0x01, 0xF7,                    // sysex: not a channel message
                       0x00, 0xC3, 0x09, 0x00, 0xD3, 0x05,        // one data byte each
                       0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,  // 250000 us per quarter
                       0x60, 0xB1, 0x07, 0x10, 0x60, 0xE2, 0x00, 0x40};
  const auto message = [](uint32_t time, uint32_t status, uint32_t d1, uint32_t d2) {
    return SeqEvent{.type = ChannelMessage, .time = time, .key = status | d1 << 8 | d2 << 16};
  };
  const Converted c = Convert(Smf(0, 96, {track}), nullptr, true);
  ExpectEvents(c.events, {message(0, 0x90, 0x3C, 0x64), message(500, 0x90, 0x3C, 0), message(500, 0xC3, 9, 0),
                          message(500, 0xD3, 5, 0), {.type = Tempo, .time = 500, .key = 250000},
                          message(750, 0xB1, 7, 0x10), message(1000, 0xE2, 0, 0x40)});
  EXPECT_FALSE(c.closed) << "the loaded song is not touched";
}

// clang-format on

}  // namespace
}  // namespace tavolin
