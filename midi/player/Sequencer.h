#pragma once
// The sequencer: plays the loaded song against the millisecond counter,
// turning due events into voices and channel settings.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

#include "midi/player/Player.h"

namespace tavolin {

// One pass of the sequencer thread, with the sequencer lock held once by
// `held`: dispatches every due event, then sleeps (letting go of the lock)
// until the next is due, the player is woken or `stop` is set; at the end of
// a song with a playlist, loads (without the lock) and starts the next file.
// With nothing to play it sleeps until woken or `stop` is set: no polling.
void SequencerPass(Player& player, std::unique_lock<std::recursive_mutex>& held, const std::atomic<int32_t>& stop);

// The same passes without the wait, for a caller that moves time itself:
// runs them until nothing is due at the clock's present reading.
void RunDuePasses(Player& player);

// Applies the event at the play cursor and advances the cursor; with `kill`
// a note-off ends its voices at once instead of releasing them.
void DispatchEvent(Player& player, bool kill);

// The commands below never wait for the sequencer lock: when it is taken
// they are left for its holder, which carries them out before its next event.

// Plays the loaded song from its first event; the clock is anchored by the
// first note that sounds. Sounding voices are not touched.
void StartPlayback(Player& player);

// No more events are dispatched; a running wait ends at once. The song stays loaded.
void StopPlayback(Player& player);

// Moves the song one second ahead: what falls into that second is
// dispatched at once, and notes that end inside it are cut off.
void SkipAhead(Player& player);

// Closes the song and loads and starts the playlist's next file; at the end
// of the playlist the playlist is dropped and the last song stays loaded.
// Without a playlist it only closes the song and silences every voice.
void NextPlaylistFile(Player& player);

}  // namespace tavolin
