#pragma once
// Loading a MIDI file from disk into the player, and the playlist of files
// chosen together.

#include <optional>
#include <string>
#include <vector>

#include "midi/player/Player.h"

namespace tavolin {

inline constexpr char kCantOpen[] = "Can't open the MIDI file.";

// The whole file followed by the four 0xFF bytes of the end mark.
struct FileBytes {
  std::vector<uint8_t> bytes;  // size + 4
  size_t size = 0;
};
// Reads the file; one that cannot be read is shown as an error (kCantOpen
// and the system's reason) and gives nothing.
std::optional<FileBytes> ReadMidiFile(const std::string& path, SongReporter& reporter);

// Reads and converts the file without the sequencer lock and at normal
// priority (a real-time caller gets its priority back), installs the list
// as the song (and with `play` starts it in the same step) and shows the
// file name in the title, then queues the eight output buffers again. True
// only when a new song was installed: a file that cannot be opened (shown as
// an error), a refused file and a file without events give false.
bool LoadMidiFile(Player& player, const std::string& path, bool play = false);

// Replaces the playlist with `paths` (in order), loads the first; the result
// of that load. An empty selection changes nothing and gives false.
bool OpenPlaylist(Player& player, const std::vector<std::string>& paths);

}  // namespace tavolin
