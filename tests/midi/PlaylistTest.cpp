#include <gtest/gtest.h>

#include "PlayerRig.h"
#include "TempFiles.h"
#include "audio/RenderBlock.h"
#include "midi/player/ConvertSmf.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"

namespace tavolin {
namespace {

// A song of one note of `key`, sounding from 0 to 100 ms.
test::Bytes OneNote(uint8_t key) { return test::Smf(0, 480, {{0x00, 0x90, key, 0x64, 0x60, 0x80, key, 0x00}}); }

struct PlaylistTest : ::testing::Test {
  test::PlayerRig rig;
  test::TempFiles files;
  Player& player = rig.player;

  // Runs the sequencer in 1 ms steps for `ms` milliseconds.
  void Run(uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i) {
      rig.clock.Advance(1);
      RunDuePasses(player);
    }
  }
  uint32_t FirstKey() { return (*ViewSong(player).song)[0].key; }
};

TEST_F(PlaylistTest, LoadInstallsTheSongShowsItsNameAndRefusalsKeepOrCloseIt) {
  const std::string good = files.Write("good.mid", OneNote(60));
  EXPECT_TRUE(LoadMidiFile(player, good));
  EXPECT_EQ(ViewSong(player).currentFile, good);
  EXPECT_EQ(rig.reporter.Titles().back(), "Tavolin - " + good);

  // A refused header leaves the song as it was and reports failure.
  EXPECT_FALSE(LoadMidiFile(player, files.Write("bad.mid", test::Header(2, 480))));
  EXPECT_EQ(ViewSong(player).currentFile, good);
  EXPECT_EQ(rig.reporter.Titles().back(), "Tavolin - " + good);

  // A file that cannot be opened is reported and changes nothing.
  const size_t titles = rig.reporter.Titles().size();
  EXPECT_FALSE(LoadMidiFile(player, files.Path("missing.mid")));
  ASSERT_EQ(rig.reporter.Errors().size(), 2u);
  EXPECT_EQ(rig.reporter.Errors().back().rfind(std::string("Error: ") + kCantOpen, 0), 0u);
  EXPECT_EQ(rig.reporter.Titles().size(), titles);
  EXPECT_EQ(ViewSong(player).currentFile, good);

  // A file without events closes the song.
  EXPECT_FALSE(LoadMidiFile(player, files.Write("empty.mid", test::Smf(0, 480, {{0x00, 0xFF, 0x2F, 0x00}}))));
  EXPECT_FALSE(ViewSong(player).song);
  EXPECT_EQ(rig.reporter.Titles().back(), "Tavolin - ");
}

TEST_F(PlaylistTest, LoadingSilencesVoicesAndLeavesTheCursorUnset) {
  EXPECT_TRUE(LoadMidiFile(player, files.Write("a.mid", OneNote(60))));
  StartPlayback(player);
  Run(1);
  ASSERT_EQ(rig.ActiveVoices(), 1);
  EXPECT_TRUE(LoadMidiFile(player, files.Write("b.mid", OneNote(62))));
  EXPECT_EQ(rig.ActiveVoices(), 0);
  EXPECT_EQ(player.cursor.load(), kNoCursor);
  EXPECT_EQ(FirstKey(), 62u);
}

TEST_F(PlaylistTest, ThreeFilesPlayInTurnAndTheLastStaysLoaded) {
  const std::vector<std::string> paths = {files.Write("1.mid", OneNote(60)), files.Write("2.mid", OneNote(62)),
                                          files.Write("3.mid", OneNote(64))};
  ASSERT_TRUE(OpenPlaylist(player, paths));
  EXPECT_EQ(ViewSong(player).currentFile, paths[0]);
  StartPlayback(player);
  RunDuePasses(player);
  Run(101);  // the first song's note-off at 100 ms is its last event
  EXPECT_EQ(ViewSong(player).currentFile, paths[1]) << "the sequencer moved on by itself";
  EXPECT_NE(player.cursor.load(), kNoCursor);
  Run(102);
  EXPECT_EQ(ViewSong(player).currentFile, paths[2]);
  Run(102);
  EXPECT_EQ(ViewSong(player).currentFile, paths[2]) << "the last song stays loaded";
  EXPECT_EQ(player.cursor.load(), kNoCursor);
  EXPECT_TRUE(player.playlist.empty());
  ClearVoiceTable(rig.synth.voices);
  StartPlayback(player);
  RunDuePasses(player);
  EXPECT_EQ(rig.ActiveVoices(), 1) << "Space plays it again";
}

TEST_F(PlaylistTest, PageDownClosesWithoutPlaylistAndStepsWithOne) {
  ASSERT_TRUE(LoadMidiFile(player, files.Write("a.mid", OneNote(60))));
  StartPlayback(player);
  RunDuePasses(player);
  NextPlaylistFile(player);
  EXPECT_FALSE(ViewSong(player).song);
  EXPECT_EQ(rig.ActiveVoices(), 0);

  const std::vector<std::string> paths = {files.Write("1.mid", OneNote(60)), files.Write("2.mid", OneNote(62))};
  ASSERT_TRUE(OpenPlaylist(player, paths));
  NextPlaylistFile(player);
  EXPECT_EQ(FirstKey(), 62u);
  EXPECT_EQ(player.cursor.load(), 0u) << "started";
  NextPlaylistFile(player);  // past the end: the playlist goes, the song stays
  EXPECT_TRUE(player.playlist.empty());
  EXPECT_EQ(FirstKey(), 62u);
}

TEST_F(PlaylistTest, AnOldSongEndDoesNotSkipANewPlaylistsFirstFile) {
  ASSERT_TRUE(LoadMidiFile(player, files.Write("a.mid", OneNote(60))));
  StartPlayback(player);
  Run(200);
  ASSERT_EQ(player.SongEnded.load(), 1);
  // Opened without playing (Shift held): the first file must stay.
  ASSERT_TRUE(OpenPlaylist(player, {files.Write("1.mid", OneNote(62)), files.Write("2.mid", OneNote(64))}));
  Run(5);
  EXPECT_EQ(FirstKey(), 62u);
}

}  // namespace
}  // namespace tavolin
