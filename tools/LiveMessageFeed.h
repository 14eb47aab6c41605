#pragma once
// A MIDI file played as if its channel messages came in from a keyboard:
// each goes to the live MIDI input when the clock reaches its time, or, with
// exact positions, at its own sample, floor(time x 44.1).

#include <cstdint>
#include <string>

#include "midi/OutputPosition.h"
#include "midi/player/SeqEvent.h"
#include "midi/player/SongReporter.h"

namespace tavolin {

class MidiInProc;

class LiveMessageFeed {
 public:
  // Reads the file's messages; a file that cannot be read or is refused has
  // been reported and gives an empty feed.
  static LiveMessageFeed FromFile(const std::string& path, SongReporter& reporter);

  explicit LiveMessageFeed(EventList messages) : messages_(std::move(messages)) {}

  // Hands `input` every message due at or before `ms`, in file order.
  void PlayDue(uint32_t ms, MidiInProc& input);
  // Hands `input`, which reads `position`, every message whose sample is
  // before `end`, in file order, with `position` at that sample.
  void PlayBefore(uint64_t end, MidiInProc& input, PlacedPosition& position);
  bool Done() const { return next_ == messages_.size(); }
  // The time of the last message (or tempo change), 0 for an empty feed.
  uint32_t EndTime() const { return messages_.empty() ? 0 : messages_.back().time; }

 private:
  static void Send(const SeqEvent& e, MidiInProc& input);

  EventList messages_;
  size_t next_ = 0;
};

}  // namespace tavolin
