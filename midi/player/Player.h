#pragma once
// The MIDI file player's state: the loaded song with its play cursor, the
// current file name, the playlist, and the sequencer's clock, all guarded by
// the sequencer lock, plus the engine pieces the player works on.
//
// Every operation takes the sequencer lock (it is recursive). The sequencer
// thread's wait for its next event releases the lock while it sleeps, so the
// window thread is held up at most by a dispatch burst or a playlist load.
// The event list is shared: a reader that wants to walk it without the lock
// takes a SongView, which keeps the list alive however the song changes.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/WaveRing.h"
#include "midi/player/SeqEvent.h"
#include "midi/player/SongReporter.h"
#include "platform/Clock.h"
#include "synth/Synth.h"

namespace tavolin {

inline constexpr size_t kNoCursor = SIZE_MAX;

struct Player {
  Player(Synth& synth, WaveRing& ring, const Clock& clock, std::recursive_mutex& lock)
      : synth(synth), ring(ring), clock(clock), lock(lock) {}

  Synth& synth;
  WaveRing& ring;  // the device's play position; queued again after a load
  const Clock& clock;
  std::recursive_mutex& lock;  // the sequencer lock
  // Title, messages and event pumping; set before the threads start.
  SongReporter* reporter = &QuietSongReporter();

  // Under the lock.
  std::shared_ptr<const EventList> song;  // null: no song loaded
  std::string currentFile;
  std::vector<std::string> playlist;  // empty: no playlist
  size_t playlistCurrent = 0;         // the entry loaded last
  // Written under the lock; read anywhere (status display, idle test).
  std::atomic<size_t> cursor{kNoCursor};  // index into *song, or kNoCursor
  std::atomic<uint32_t> SongStart{0};     // ms counter value at song time 0
  std::atomic<int32_t> ClockStarted{0};
  std::atomic<int32_t> SongEnded{0};
  std::atomic<int32_t> TempoBPM{0};

  // Ends the sequencer thread's wait early: every change of the song, the
  // cursor or the clock bumps wakeSerial under the lock and notifies.
  std::condition_variable_any wake;
  uint64_t wakeSerial = 0;
  // The offline renderer runs the passes on its own thread, in virtual time;
  // set before the threads start.
  bool drivenByCaller = false;
};

// What a reader sees of the song at one moment.
struct SongView {
  std::shared_ptr<const EventList> song;
  size_t cursor = kNoCursor;
  std::string currentFile;
};
SongView ViewSong(Player& player);

// Frees the song: no list, no cursor, no file name; title "Tavolin". The
// playlist is kept; sounding voices are left alone.
void CloseMidiFile(Player& player);

// Installs a converted list as the song (the cursor becomes none) with its path.
void InstallSong(Player& player, EventList list, const std::string& path);

// Ends a running wait of the sequencer thread so that it looks at the state again.
void WakeSequencer(Player& player);

}  // namespace tavolin
