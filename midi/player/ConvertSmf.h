#pragma once
// The Standard MIDI File converter: format 0 and 1 files become one event
// list whose times are milliseconds.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "midi/player/SeqEvent.h"
#include "midi/player/SongReporter.h"

namespace tavolin {

// Texts of the messages the converter shows (caption "Error").
inline constexpr char kErrorCaption[] = "Error";
inline constexpr char kNoMThd[] = "MThd not found";
inline constexpr char kBadHeaderSize[] = "header size != 0x06";
inline constexpr char kBadFormat[] = "Format 02 or later are not supported.";
inline constexpr char kZeroDivision[] = "Division 0 (ticks per quarter note) is not supported.";
inline constexpr char kUnknownChunk[] = "Unknown chunk incoming";
inline constexpr char kTruncatedHeader[] = "The file ends inside its MThd header.";
inline constexpr char kTruncatedChunk[] = "The file ends inside a chunk header.";
inline constexpr char kChunkPastEnd[] = "A track chunk runs past the end of the file.";
inline constexpr char kEventPastEnd[] = "An event runs past the end of the file.";
inline constexpr char kConvertOutOfMemory[] = "Not enough memory to convert the file.";

// `data` holds the `size` bytes of the file followed by four 0xFF bytes (the
// end mark). Once the header is accepted, the title reads "Closing...",
// `closeSong` closes the current song and silences every voice, and the new
// list is built in private. Returns the list, empty when the file was refused
// (the message has been shown) or yields no events.
EventList ConvertSmf(SongReporter& reporter, const uint8_t* data, size_t size, const std::function<void()>& closeSong);

// The same reading and timing, but the channel messages are kept as they
// stand (ChannelMessage events, with the Tempo events that timed them), to be
// played as if they came from a MIDI keyboard. Refusals are shown as above.
EventList ConvertSmfMessages(SongReporter& reporter, const uint8_t* data, size_t size);

}  // namespace tavolin
