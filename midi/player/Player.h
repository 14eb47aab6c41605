#pragma once
// The MIDI file player's state: the loaded song with its play cursor, the
// playlist, and the sequencer's clock, plus the engine pieces the player
// works on.
//
// The sequencer lock guards the song, the playlist and every change of the
// cursor and the clock. It is held only for short steps: a dispatch, a
// command, installing a converted song; never while a file is read or
// converted or a title is set, never while the sequencer sleeps. Readers that must not wait
// at all (painting, the player keys) see the song through its published
// copy and the atomic cursor. Commands from such threads never wait for the
// lock either: one that finds it taken is left in the mailbox, and the
// thread holding the lock carries it out before its next event (see
// PlayerMailbox). Whoever takes the lock first carries out what is in the
// mailbox, so commands keep their order.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/OutputPosition.h"
#include "midi/player/SeqEvent.h"
#include "midi/player/SongReporter.h"
#include "platform/Clock.h"
#include "synth/Synth.h"

namespace tavolin {

inline constexpr size_t kNoCursor = SIZE_MAX;

// A converted song with the path it was loaded from.
struct LoadedSong {
  EventList events;
  std::string path;
};

enum class PlayerCommand : uint8_t { Start, Stop, SkipAhead, Close };

// Commands left for the lock's holder, and the doorbell that ends the
// sequencer's sleep. Its mutex is held only to post, take or look, never
// while waiting for anything else, so posting never waits for the sequencer.
struct PlayerMailbox {
  std::mutex mutex;
  std::condition_variable doorbell;
  std::vector<PlayerCommand> commands;  // in the order posted
  bool rung = false;                    // something changed since the sequencer last looked
  std::atomic<bool> pending{false};     // commands is not empty; looked at between events
};

struct Player {
  Player(Synth& synth, OutputPosition& output, const Clock& clock, std::recursive_mutex& lock)
      : synth(synth), output(output), clock(clock), lock(lock) {}

  Synth& synth;
  OutputPosition& output;  // the device's play position; queued again after a load
  const Clock& clock;
  std::recursive_mutex& lock;  // the sequencer lock
  // Title, messages and event pumping; set before the threads start.
  SongReporter* reporter = &QuietSongReporter();

  // Under the lock.
  std::shared_ptr<const LoadedSong> song;  // null: no song loaded
  std::vector<std::string> playlist;       // empty: no playlist
  size_t playlistCurrent = 0;              // the entry loaded last
  // The song as it was last installed or closed, for readers without the lock.
  std::atomic<std::shared_ptr<const LoadedSong>> published;
  // Written under the lock; read anywhere (status display, idle test).
  std::atomic<size_t> cursor{kNoCursor};  // index into song->events, or kNoCursor
  std::atomic<uint32_t> SongStart{0};     // ms counter value at song time 0
  std::atomic<int32_t> ClockStarted{0};
  std::atomic<int32_t> SongEnded{0};
  std::atomic<int32_t> TempoBPM{0};
  // Set under the lock by a close; the title it calls for is shown by
  // whoever lets go of the lock (ShowDueTitle), never with it held: the
  // window thread sets a title through Qt, and the sequencer must not wait
  // behind that.
  std::atomic<bool> closedTitleDue{false};

  PlayerMailbox mailbox;
};

// What a reader sees of the song at one moment, without waiting for anyone.
// The cursor may already belong to a newer song than `song`.
struct SongView {
  std::shared_ptr<const EventList> song;  // null: no song loaded
  size_t cursor = kNoCursor;
  std::string currentFile;  // empty when no song is loaded
};
SongView ViewSong(const Player& player);

// Frees the song: no list, no cursor, no file name; title "Tavolin". The
// playlist is kept; sounding voices are left alone.
void CloseMidiFile(Player& player);

// Installs a converted list as the song (the cursor becomes none) with its
// path; with `play`, plays it from the start at once.
void InstallSong(Player& player, EventList list, const std::string& path, bool play = false);

// Makes the sequencer look at the state again: ends its sleep, or keeps it
// from starting one.
void WakeSequencer(Player& player);

// Runs `command` now if the lock is free (or already held by this thread),
// after whatever the mailbox holds; otherwise posts it for the holder.
void RunOrPost(Player& player, PlayerCommand command);

// Without the lock: shows the title a close under the lock called for,
// unless a song has come in since (its loader shows its own).
void ShowDueTitle(Player& player);

// With the lock held: carries out the commands in the mailbox, oldest first.
void CarryOutPosted(Player& player);

// With the lock held: does what `command` asks, at once.
void CarryOut(Player& player, PlayerCommand command);

}  // namespace tavolin
