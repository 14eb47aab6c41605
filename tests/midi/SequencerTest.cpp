#include "midi/player/Sequencer.h"

#include <gtest/gtest.h>

#include "PlayerRig.h"

namespace tavolin {
namespace {

SeqEvent On(uint32_t time, uint32_t ch, uint32_t key, double level = 100) {
  return {.type = NoteOn, .time = time, .channel = ch, .key = key, .level = level};
}
SeqEvent Off(uint32_t time, uint32_t ch, uint32_t key) {
  return {.type = NoteOff, .time = time, .channel = ch, .key = key};
}

struct SequencerTest : ::testing::Test {
  test::PlayerRig rig;
  Player& player = rig.player;

  void Play(EventList song, uint32_t startMs = 0) {
    InstallSong(player, std::move(song), "song.mid");
    rig.clock.Set(startMs);
    StartPlayback(player);
  }
  // Moves the clock to `ms` and runs the passes due by then.
  void At(uint32_t ms) {
    rig.clock.Set(ms);
    RunDuePasses(player);
  }
  const VoiceSlot& Voice(int i) { return rig.synth.voices[i]; }
};

TEST_F(SequencerTest, FirstSoundingNoteAnchorsTheClockAndLaterEventsWaitStrictly) {
  Play({On(2000, 0, 60), On(2000, 0, 64), Off(2500, 0, 60), On(3000, 0, 67)}, 5000);
  At(5000);
  EXPECT_EQ(rig.ActiveVoices(), 1) << "the first note sounds at once, the chord's second waits";
  EXPECT_EQ(player.SongStart.load(), 3000u);
  At(5001);
  EXPECT_EQ(rig.ActiveVoices(), 2);
  At(5500);
  EXPECT_EQ(Voice(0).gate.load(), 1) << "an event at 2500 is not due at song time 2500";
  At(5501);
  EXPECT_EQ(Voice(0).gate.load(), 0);
  EXPECT_EQ(player.cursor.load(), 3u);
  At(6001);
  EXPECT_EQ(rig.ActiveVoices(), 3);
  EXPECT_EQ(player.cursor.load(), kNoCursor);
  EXPECT_EQ(player.SongEnded.load(), 1);
}

TEST_F(SequencerTest, NoteOnFillsTheVoiceFromTheEventAndTheEngine) {
  rig.synth.CurrentMode.store(3);
  rig.synth.params.LPFResoPlus.store(4.0);
  rig.synth.params.MidiLife.store(0.5);
  rig.synth.params.MidiDrumLife.store(0.125);
  rig.device.Advance(1024 * 3 + 300);  // the play position picks the start offset
  Play({On(0, 2, 69, 90), On(0, 9, 36), On(0, 1, 10), On(0, 1, 200)});
  At(0);
  At(1);
  EXPECT_EQ(Voice(0).startOffset.load(), 300);
  EXPECT_EQ(Voice(0).freq.load(), rig.synth.noteFreq[45]);
  EXPECT_EQ(Voice(0).amp.load(), 90 * 64);
  EXPECT_EQ(Voice(0).lifeLeft.load(), 0.5);
  EXPECT_EQ(Voice(0).lifeTotal.load(), 0.5);
  EXPECT_EQ(Voice(0).sweepRate.load(), 0.25);
  EXPECT_EQ(Voice(0).gate.load(), 1);
  EXPECT_EQ(Voice(0).mode.load(), 3);
  EXPECT_EQ(Voice(0).channel.load(), 2);
  EXPECT_EQ(Voice(0).note.load(), 69);
  // Drums: released from the start, mode 5, their own life.
  EXPECT_EQ(Voice(1).gate.load(), 0);
  EXPECT_EQ(Voice(1).mode.load(), 5);
  EXPECT_EQ(Voice(1).lifeTotal.load(), 0.125);
  // Keys outside the table use its ends.
  EXPECT_EQ(Voice(2).freq.load(), rig.synth.noteFreq[0]);
  EXPECT_EQ(Voice(3).freq.load(), rig.synth.noteFreq[119]);
}

TEST_F(SequencerTest, NoteOffReleasesEveryMatchingVoiceAndLeavesDrumsAlone) {
  Play({On(0, 0, 60), On(0, 0, 60), On(0, 1, 60), On(0, 9, 38), Off(10, 0, 60), Off(10, 9, 38)});
  At(0);
  At(1);
  ASSERT_EQ(rig.ActiveVoices(), 4);
  At(11);
  EXPECT_EQ(Voice(0).gate.load(), 0);
  EXPECT_EQ(Voice(1).gate.load(), 0);
  EXPECT_EQ(Voice(2).gate.load(), 1) << "another channel";
  EXPECT_TRUE(IsActive(Voice(3))) << "a drum's note-off changes nothing";
}

TEST_F(SequencerTest, OnlyChannelFiltersNotesButNotChannelSettings) {
  rig.synth.params.ONLY_CH.store(2);  // channel index 1
  Play({On(0, 0, 60),
        {.type = Bend, .time = 100, .channel = 0, .value = 1.5},
        On(500, 1, 62),
        {.type = Volume, .time = 600, .channel = 3, .value = 0.25},
        On(700, 1, 64)},
       1000);
  At(1000);
  EXPECT_EQ(rig.ActiveVoices(), 1) << "everything up to the first channel-1 note is played through at once";
  EXPECT_EQ(Voice(0).channel.load(), 1);
  EXPECT_EQ(rig.synth.ChannelBend[0].load(), 1.5);
  EXPECT_EQ(player.SongStart.load(), 500u);
  At(1101);
  EXPECT_EQ(rig.synth.ChannelLevel[3].load(), 0.25);
  At(1201);
  EXPECT_EQ(rig.ActiveVoices(), 2);

  // A channel without notes: the whole song goes through at once and ends.
  rig.synth.params.ONLY_CH.store(16);
  Play({On(0, 0, 60), On(5000, 1, 62)}, 9000);
  At(9000);
  EXPECT_EQ(player.cursor.load(), kNoCursor);
  EXPECT_EQ(player.SongEnded.load(), 1);
}

TEST_F(SequencerTest, StartPlaybackResetsChannelsAndPlaysAgainFromTheStart) {
  Play({{.type = Volume, .time = 0, .channel = 4, .value = 0.5},
        On(0, 4, 60),
        {.type = Tempo, .time = 0, .key = 500000},
        Off(100, 4, 60)});
  At(0);
  At(1);
  EXPECT_EQ(player.TempoBPM.load(), 120);
  At(200);
  EXPECT_EQ(player.SongEnded.load(), 1);
  StartPlayback(player);
  EXPECT_EQ(rig.synth.ChannelLevel[4].load(), 1.0);
  EXPECT_EQ(player.SongEnded.load(), 0);
  EXPECT_EQ(player.cursor.load(), 0u);
  // A song without tempo events leaves the display's tempo; 0 microseconds leaves it too.
  Play({{.type = Tempo, .time = 0, .key = 0}, On(0, 0, 60)}, 300);
  At(300);
  EXPECT_EQ(player.TempoBPM.load(), 120);
}

TEST_F(SequencerTest, SkipAheadCutsNotesEndingInsideTheSkippedSecond) {
  Play({On(0, 0, 60), On(0, 0, 64), Off(500, 0, 60), Off(500, 0, 64), On(800, 0, 67), Off(1800, 0, 67),
        On(3000, 0, 72)});
  At(0);
  At(1);
  ASSERT_EQ(rig.ActiveVoices(), 2);
  At(100);
  SkipAhead(player);
  EXPECT_EQ(rig.ActiveVoices(), 1) << "the chord ends at once, the note from 800 ms sounds on";
  EXPECT_EQ(Voice(0).note.load(), 67);
  EXPECT_EQ(Voice(0).gate.load(), 1);
  EXPECT_EQ(player.cursor.load(), 5u);
  At(801);  // song time 1801
  EXPECT_EQ(Voice(0).gate.load(), 0) << "released, not killed";
  EXPECT_TRUE(IsActive(Voice(0)));

  StopPlayback(player);
  SkipAhead(player);  // no cursor: nothing happens
  EXPECT_EQ(player.cursor.load(), kNoCursor);
}

TEST_F(SequencerTest, StopPlaybackStopsDispatchingAndKeepsTheSong) {
  Play({On(0, 0, 60), Off(10000, 0, 60)});
  At(0);
  StopPlayback(player);
  At(20000);
  EXPECT_EQ(Voice(0).gate.load(), 1) << "the held note sounds on";
  EXPECT_EQ(player.SongEnded.load(), 0);
  EXPECT_TRUE(ViewSong(player).song);
  CloseMidiFile(player);
  EXPECT_FALSE(ViewSong(player).song);
  EXPECT_EQ(ViewSong(player).currentFile, "");
  EXPECT_EQ(rig.reporter.Titles().back(), "Tavolin");
  EXPECT_TRUE(IsActive(Voice(0))) << "closing alone does not silence";
}

TEST_F(SequencerTest, SongViewKeepsItsListAliveAfterClose) {
  Play({On(0, 0, 60), On(1000, 0, 61)});
  const SongView view = ViewSong(player);
  CloseMidiFile(player);
  ASSERT_TRUE(view.song);
  EXPECT_EQ((*view.song)[1].key, 61u);
}

}  // namespace
}  // namespace tavolin
