#include "midi/player/Sequencer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "audio/RenderBlock.h"
#include "midi/player/LoadMidiFile.h"
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
  note.freq = synth.noteFreq[std::clamp<int64_t>(int64_t{e.key} - 24, 0, static_cast<int64_t>(kNoteFreqCount) - 1)];
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

enum class Due { Ended, Waiting };

// Steps of a pass before its wait: dispatches while events are due. Waiting:
// the event at the cursor is not due yet.
Due DispatchDueEvents(Player& player) {
  while (player.cursor.load(relaxed) != kNoCursor) {
    if (player.ClockStarted.load(relaxed) != 0) {
      const uint32_t songTime = player.clock.Milliseconds() - player.SongStart.load(relaxed);
      // Due only once the song time has passed the event's time.
      if ((*player.song)[player.cursor.load(relaxed)].time >= songTime) return Due::Waiting;
    }
    DispatchEvent(player, false);
  }
  return Due::Ended;
}

// Milliseconds until the event at the cursor is due; negative when overdue.
int32_t TimeToNextEvent(const Player& player) {
  const uint32_t time = (*player.song)[player.cursor.load(relaxed)].time;
  return static_cast<int32_t>(time + player.SongStart.load(relaxed) - player.clock.Milliseconds());
}

// The end of a song moves a playlist on. True when it did.
bool AdvanceAtSongEnd(Player& player) {
  if (player.SongEnded.load(relaxed) == 0 || player.playlist.empty()) return false;
  player.SongEnded.store(0, relaxed);
  NextPlaylistFile(player);
  return true;
}

}  // namespace

void DispatchEvent(Player& player, bool kill) {
  std::lock_guard hold(player.lock);
  const size_t at = player.cursor.load(relaxed);
  if (at == kNoCursor) return;
  const EventList& song = *player.song;
  const SeqEvent& e = song[at];
  const uint64_t playPosition = player.ring.device ? player.ring.device->PlayedSamples() : 0;
  switch (e.type) {
    case NoteOn:
      StartNote(player, e, playPosition);
      break;
    case NoteOff:
      EndNote(player, e, kill);
      break;
    case Tempo:
      // 0 microseconds per quarter has no tempo: the display keeps the last one.
      if (e.key != 0) player.TempoBPM.store(static_cast<int32_t>((1.0 / (e.key * 0.000001)) * 60.0), relaxed);
      break;
    case Bend:
      player.synth.ChannelBend[e.channel].store(e.value, relaxed);
      break;
    case Volume:
      player.synth.ChannelLevel[e.channel].store(e.value, relaxed);
      break;
    default:
      break;
  }
  if (at + 1 == song.size()) {
    player.SongEnded.store(1, relaxed);
    player.cursor.store(kNoCursor, relaxed);
  } else {
    player.cursor.store(at + 1, relaxed);
  }
}

void SequencerPass(Player& player, std::unique_lock<std::recursive_mutex>& held) {
  if (DispatchDueEvents(player) == Due::Waiting) {
    const int32_t wait = TimeToNextEvent(player);
    if (wait >= 0) {
      // The event is due once the song time has passed its time, one
      // millisecond after the moment it equals it: waiting only until then
      // would leave the thread spinning through that millisecond.
      const uint64_t serial = player.wakeSerial;
      player.wake.wait_for(held, std::chrono::milliseconds(wait + 1), [&] { return player.wakeSerial != serial; });
    }
    if (player.cursor.load(relaxed) != kNoCursor) return;
  }
  AdvanceAtSongEnd(player);
}

void RunDuePasses(Player& player) {
  std::lock_guard hold(player.lock);
  // Each round either waits for time to move or starts the next playlist
  // file, so this ends after at most one round per playlist entry.
  while (DispatchDueEvents(player) == Due::Ended && AdvanceAtSongEnd(player)) {
  }
}

void StartPlayback(Player& player) {
  std::lock_guard hold(player.lock);
  for (auto& level : player.synth.ChannelLevel) level.store(1.0, relaxed);
  for (auto& bend : player.synth.ChannelBend) bend.store(0.0, relaxed);
  player.ClockStarted.store(0, relaxed);
  player.cursor.store(player.song && !player.song->empty() ? 0 : kNoCursor, relaxed);
  player.SongStart.store(player.clock.Milliseconds(), relaxed);
  // A finished song's end must not move a playlist on once this one plays.
  player.SongEnded.store(0, relaxed);
  // The new song must not wait for the end of the old song's pause.
  WakeSequencer(player);
}

void StopPlayback(Player& player) {
  std::lock_guard hold(player.lock);
  player.cursor.store(kNoCursor, relaxed);
  WakeSequencer(player);
}

void SkipAhead(Player& player) {
  std::lock_guard hold(player.lock);
  if (player.cursor.load(relaxed) == kNoCursor) return;
  const uint32_t now = player.clock.Milliseconds();
  player.SongStart.store(player.SongStart.load(relaxed) - 1000, relaxed);
  while (player.cursor.load(relaxed) != kNoCursor &&
         (*player.song)[player.cursor.load(relaxed)].time < now - player.SongStart.load(relaxed)) {
    DispatchEvent(player, true);
  }
  WakeSequencer(player);
}

void NextPlaylistFile(Player& player) {
  std::lock_guard hold(player.lock);
  const bool hasPlaylist = !player.playlist.empty();
  if (!hasPlaylist || player.playlistCurrent + 1 < player.playlist.size()) {
    CloseMidiFile(player);
    ClearVoiceTable(player.synth.voices);
  }
  if (!hasPlaylist) return;
  if (++player.playlistCurrent >= player.playlist.size()) {
    player.playlist.clear();
    player.playlistCurrent = 0;
    return;
  }
  const std::string path = player.playlist[player.playlistCurrent];
  if (LoadMidiFile(player, path)) StartPlayback(player);
}

}  // namespace tavolin
