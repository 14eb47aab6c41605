#include "midi/player/Player.h"

namespace tavolin {

SongView ViewSong(Player& player) {
  std::lock_guard hold(player.lock);
  return SongView{player.song, player.cursor.load(std::memory_order_relaxed), player.currentFile};
}

void CloseMidiFile(Player& player) {
  std::lock_guard hold(player.lock);
  player.song.reset();
  player.cursor.store(kNoCursor, std::memory_order_relaxed);
  player.currentFile.clear();
  player.reporter->SetTitle("Tavolin");
  WakeSequencer(player);
}

void InstallSong(Player& player, EventList list, const std::string& path) {
  auto song = std::make_shared<const EventList>(std::move(list));
  std::lock_guard hold(player.lock);
  player.song = std::move(song);
  // A load nested in this one (while events were pumped) may have started
  // its own song: the cursor must never point into another list.
  player.cursor.store(kNoCursor, std::memory_order_relaxed);
  player.currentFile = path;
  WakeSequencer(player);
}

void WakeSequencer(Player& player) {
  std::lock_guard hold(player.lock);
  ++player.wakeSerial;
  player.wake.notify_all();
}

}  // namespace tavolin
