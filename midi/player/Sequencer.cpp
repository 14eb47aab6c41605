#include "midi/player/Sequencer.h"

#include <chrono>
#include <cmath>
#include <optional>
#include <string>

#include "midi/NoteNumbering.h"
#include "midi/player/LoadMidiFile.h"
#include "platform/WaveFormat.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
constexpr uint32_t kDrumChannel = 9;
constexpr int32_t kDrumMode = 5;

bool ChannelFiltered(const Player& player, uint32_t channel) {
  const double onlyChannel = std::trunc(player.synth.params.ONLY_CH.load(relaxed));
  return onlyChannel != 0.0 && static_cast<double>(channel) != onlyChannel - 1.0;
}

void StartNote(Player& player, const SeqEvent& e, uint64_t playPosition) {
  Synth& synth = player.synth;
  if (ChannelFiltered(player, e.channel)) return;
  const bool drum = e.channel == kDrumChannel;
  NoteStart note;
  note.startOffset = static_cast<int32_t>(playPosition % kBlockSamples);
  note.freq = synth.noteFreq[NoteFreqIndex(e.key, NoteNumbering::Standard)];
  note.amp = e.level * 64;
  note.life = drum ? synth.params.MidiDrumLife.load(relaxed) : synth.params.MidiLife.load(relaxed);
  note.sweepRate = 1.0 / synth.params.LPFResoPlus.load(relaxed);
  note.gate = drum ? 0 : 1;
  note.mode = drum ? kDrumMode : synth.CurrentMode.load(relaxed);
  note.channel = static_cast<int32_t>(e.channel);
  note.note = static_cast<int32_t>(e.key);
  note.resetPhase2 = true;
  if (StartVoice(synth.voices, note) < 0) return;  // all 128 busy: dropped
  if (player.ClockStarted.load(relaxed) == 0) {
    player.ClockStarted.store(1, relaxed);
    player.SongStart.store(player.clock.Milliseconds() - e.time, relaxed);
  }
}

void EndNote(Player& player, const SeqEvent& e, bool kill) {
  for (VoiceSlot& slot : player.synth.voices) {
    VoiceId id = 0;
    if (!FindActiveVoice(slot, id) || slot.channel.load(relaxed) != static_cast<int32_t>(e.channel) ||
        slot.note.load(relaxed) != static_cast<int32_t>(e.key)) {
      continue;
    }
    if (kill) {
      KillVoice(slot, id);
    } else {
      ReleaseVoice(slot, id);
    }
  }
}

const SeqEvent& CursorEvent(const Player& player) { return player.song->events[player.cursor.load(relaxed)]; }

enum class Due { Ended, Waiting };

// Steps of a pass before its wait: dispatches while events are due. Waiting:
// the event at the cursor is not due yet. Commands that came in meanwhile
// are carried out between events, so a long burst does not hold them up.
Due DispatchDueEvents(Player& player) {
  for (CarryOutPosted(player); player.cursor.load(relaxed) != kNoCursor; CarryOutPosted(player)) {
    if (player.ClockStarted.load(relaxed) != 0) {
      const uint32_t songTime = player.clock.Milliseconds() - player.SongStart.load(relaxed);
      // Due only once the song time has passed the event's time.
      if (CursorEvent(player).time >= songTime) return Due::Waiting;
    }
    DispatchEvent(player, false);
  }
  return Due::Ended;
}

// How long until the event at the cursor is due: once the song time has
// passed its time, one millisecond after the moment it equals it (waiting
// only until then would leave the thread spinning through that
// millisecond). Any distance of the 32-bit clock, up to 2^32 ms; 0 when
// the event has become due meanwhile.
std::chrono::milliseconds TimeToNextEvent(const Player& player) {
  const uint32_t songTime = player.clock.Milliseconds() - player.SongStart.load(relaxed);
  const uint32_t time = CursorEvent(player).time;
  return std::chrono::milliseconds(time < songTime ? 0 : int64_t{time - songTime} + 1);
}

// The end of a song moves a playlist on. True when it is to.
bool TakeSongEnd(Player& player) {
  if (player.SongEnded.load(relaxed) == 0 || player.playlist.empty()) return false;
  player.SongEnded.store(0, relaxed);
  return true;
}

// Loads the playlist's next file with the lock let go: the file is read and
// converted while the window and the commands go on.
void NextFileUnlocked(Player& player, std::unique_lock<std::recursive_mutex>& held) {
  held.unlock();
  NextPlaylistFile(player);
  held.lock();
}

void StartLocked(Player& player) {
  for (auto& level : player.synth.ChannelLevel) level.store(1.0, relaxed);
  for (auto& bend : player.synth.ChannelBend) bend.store(0.0, relaxed);
  player.ClockStarted.store(0, relaxed);
  player.cursor.store(player.song && !player.song->events.empty() ? 0 : kNoCursor, relaxed);
  player.SongStart.store(player.clock.Milliseconds(), relaxed);
  // A finished song's end must not move a playlist on once this one plays.
  player.SongEnded.store(0, relaxed);
}

void SkipAheadLocked(Player& player) {
  if (player.cursor.load(relaxed) == kNoCursor) return;
  const uint32_t now = player.clock.Milliseconds();
  player.SongStart.store(player.SongStart.load(relaxed) - 1000, relaxed);
  while (player.cursor.load(relaxed) != kNoCursor && CursorEvent(player).time < now - player.SongStart.load(relaxed)) {
    DispatchEvent(player, true);
  }
}

void CloseLocked(Player& player) {
  player.song.reset();
  player.published.store(nullptr, std::memory_order_release);
  player.cursor.store(kNoCursor, relaxed);
  player.closedTitleDue.store(true, std::memory_order_release);
}

}  // namespace

void DispatchEvent(Player& player, bool kill) {
  std::lock_guard hold(player.lock);
  const size_t at = player.cursor.load(relaxed);
  if (at == kNoCursor) return;
  const EventList& song = player.song->events;
  const SeqEvent& e = song[at];
  const uint64_t playPosition = player.output.Played();
  switch (e.type) {
    case NoteOn: StartNote(player, e, playPosition); break;
    case NoteOff: EndNote(player, e, kill); break;
    case Tempo:
      // 0 microseconds per quarter has no tempo: the display keeps the last one.
      if (e.key != 0) player.TempoBPM.store(static_cast<int32_t>((1.0 / (e.key * 0.000001)) * 60.0), relaxed);
      break;
    case Bend: player.synth.ChannelBend[e.channel].store(e.value, relaxed); break;
    case Volume: player.synth.ChannelLevel[e.channel].store(e.value, relaxed); break;
    default: break;
  }
  if (at + 1 == song.size()) {
    player.SongEnded.store(1, relaxed);
    player.cursor.store(kNoCursor, relaxed);
  } else {
    player.cursor.store(at + 1, relaxed);
  }
}

namespace {

// Sleeps, letting go of `held`, until the player is woken (WakeSequencer) or
// `stop` is set, or for `limit` at most when there is one. The flag is part
// of the condition, so a stop that comes just before the sleep is not slept
// through.
void SleepUntilWoken(Player& player, std::unique_lock<std::recursive_mutex>& held, const std::atomic<int32_t>& stop,
                     std::optional<std::chrono::milliseconds> limit = std::nullopt) {
  PlayerMailbox& box = player.mailbox;
  held.unlock();
  ShowDueTitle(player);
  // A wake that comes before the mailbox is taken is kept in `rung`.
  std::unique_lock bell(box.mutex);
  const auto woken = [&] { return box.rung || stop.load(std::memory_order_acquire) != 0; };
  if (limit) {
    box.doorbell.wait_for(bell, *limit, woken);
  } else {
    box.doorbell.wait(bell, woken);
  }
  box.rung = false;
  bell.unlock();
  held.lock();
}

}  // namespace

void SequencerPass(Player& player, std::unique_lock<std::recursive_mutex>& held, const std::atomic<int32_t>& stop) {
  if (DispatchDueEvents(player) == Due::Waiting) {
    SleepUntilWoken(player, held, stop, TimeToNextEvent(player));
    CarryOutPosted(player);
    if (player.cursor.load(relaxed) != kNoCursor) return;
  }
  if (TakeSongEnd(player)) {
    NextFileUnlocked(player, held);
    return;
  }
  // Nothing to play: only a load, a command or shut-down gives it work.
  SleepUntilWoken(player, held, stop);
  CarryOutPosted(player);
}

void RunDuePasses(Player& player) {
  {
    std::unique_lock held(player.lock);
    // Each round either waits for time to move or starts the next playlist
    // file, so this ends after at most one round per playlist entry.
    while (DispatchDueEvents(player) == Due::Ended && TakeSongEnd(player)) NextFileUnlocked(player, held);
  }
  ShowDueTitle(player);
}

void CarryOut(Player& player, PlayerCommand command) {
  switch (command) {
    case PlayerCommand::Start: StartLocked(player); break;
    case PlayerCommand::Stop: player.cursor.store(kNoCursor, relaxed); break;
    case PlayerCommand::SkipAhead: SkipAheadLocked(player); break;
    case PlayerCommand::Close: CloseLocked(player); break;
  }
}

void StartPlayback(Player& player) { RunOrPost(player, PlayerCommand::Start); }

void StopPlayback(Player& player) { RunOrPost(player, PlayerCommand::Stop); }

void SkipAhead(Player& player) { RunOrPost(player, PlayerCommand::SkipAhead); }

void CloseMidiFile(Player& player) { RunOrPost(player, PlayerCommand::Close); }

namespace {

// The file Page Down moves to, if any; closes the song unless the playlist ends.
std::optional<std::string> StepPlaylistLocked(Player& player) {
  const bool hasPlaylist = !player.playlist.empty();
  if (!hasPlaylist || player.playlistCurrent + 1 < player.playlist.size()) {
    CloseLocked(player);
    ClearVoiceTable(player.synth.voices);
  }
  if (!hasPlaylist) return std::nullopt;
  if (++player.playlistCurrent >= player.playlist.size()) {
    player.playlist.clear();
    player.playlistCurrent = 0;
    return std::nullopt;
  }
  return player.playlist[player.playlistCurrent];
}

}  // namespace

void NextPlaylistFile(Player& player) {
  std::optional<std::string> path;
  {
    std::lock_guard hold(player.lock);
    CarryOutPosted(player);
    path = StepPlaylistLocked(player);
  }
  ShowDueTitle(player);
  if (!path) return;
  WakeSequencer(player);
  LoadMidiFile(player, *path, true);
}

}  // namespace tavolin
