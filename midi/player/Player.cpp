#include "midi/player/Player.h"

namespace tavolin {

SongView ViewSong(const Player& player) {
  SongView view;
  view.cursor = player.cursor.load(std::memory_order_relaxed);
  const std::shared_ptr<const LoadedSong> song = player.published.load(std::memory_order_acquire);
  if (song) {
    view.song = std::shared_ptr<const EventList>(song, &song->events);
    view.currentFile = song->path;
  }
  return view;
}

void InstallSong(Player& player, EventList list, const std::string& path, bool play) {
  auto song = std::make_shared<const LoadedSong>(LoadedSong{std::move(list), path});
  {
    std::lock_guard hold(player.lock);
    CarryOutPosted(player);
    player.song = song;
    player.published.store(std::move(song), std::memory_order_release);
    // A load nested in this one (while events were pumped) may have started
    // its own song: the cursor must never point into another list.
    player.cursor.store(kNoCursor, std::memory_order_relaxed);
    if (play) CarryOut(player, PlayerCommand::Start);
  }
  ShowDueTitle(player);
  WakeSequencer(player);
}

void WakeSequencer(Player& player) {
  std::lock_guard hold(player.mailbox.mutex);
  player.mailbox.rung = true;
  player.mailbox.doorbell.notify_all();
}

void RunOrPost(Player& player, PlayerCommand command) {
  if (std::unique_lock hold(player.lock, std::try_to_lock); hold.owns_lock()) {
    CarryOutPosted(player);
    CarryOut(player, command);
  } else {
    std::lock_guard box(player.mailbox.mutex);
    player.mailbox.commands.push_back(command);
    player.mailbox.pending.store(true, std::memory_order_release);
  }
  ShowDueTitle(player);
  WakeSequencer(player);
}

void ShowDueTitle(Player& player) {
  if (!player.closedTitleDue.exchange(false, std::memory_order_acq_rel)) return;
  if (!player.published.load(std::memory_order_acquire)) player.reporter->SetTitle("Tavolin");
}

void CarryOutPosted(Player& player) {
  if (!player.mailbox.pending.load(std::memory_order_acquire)) return;
  std::vector<PlayerCommand> commands;
  {
    std::lock_guard box(player.mailbox.mutex);
    commands.swap(player.mailbox.commands);
    player.mailbox.pending.store(false, std::memory_order_relaxed);
  }
  for (const PlayerCommand command : commands) CarryOut(player, command);
}

}  // namespace tavolin
