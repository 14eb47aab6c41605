#pragma once
// The MIDI file player's commands on the main window: the keys F9, F11,
// Space, Return, Right and Page Down, and a dropped file. The commands that
// load take their turn in `loads`: asked for while a load runs, they wait
// for it.

#include <QString>

#include "midi/player/LoadTurns.h"
#include "midi/player/Player.h"

class QMimeData;
class QWidget;

namespace tavolin {

// The open dialog: one or more MIDI files become the playlist and the first
// is loaded. False when cancelled or when the load failed.
bool OpenMidiFileDialog(Player& player, QWidget* window);

// F9: the open dialog; the song plays unless Shift is down as the dialog returns.
void OpenMidiFileCommand(Player& player, LoadTurns& loads, QWidget* window);
// F11: closes the song.
void CloseMidiFileCommand(Player& player);
// Space: plays the loaded song (again) from the start.
void PlaySongCommand(Player& player);
// Return: stops playing; the song stays loaded.
void StopSongCommand(Player& player);
// Right: one second ahead, while a song plays.
void SkipAheadCommand(Player& player);
// Page Down: the playlist's next file.
void NextPlaylistFileCommand(Player& player, LoadTurns& loads);
// A file dropped on the window: loaded, and played unless Shift was held.
// The playlist is not changed.
void LoadDroppedFile(Player& player, LoadTurns& loads, const QString& path, bool shiftHeld);

// The local path of the first file of a drop, or an empty string.
QString FirstDroppedFile(const QMimeData* mime);

}  // namespace tavolin
