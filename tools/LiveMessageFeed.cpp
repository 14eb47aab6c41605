#include "tools/LiveMessageFeed.h"

#include "midi/input/MidiInProc.h"
#include "midi/player/ConvertSmf.h"
#include "midi/player/LoadMidiFile.h"

namespace tavolin {

LiveMessageFeed LiveMessageFeed::FromFile(const std::string& path, SongReporter& reporter) {
  const std::optional<FileBytes> file = ReadMidiFile(path, reporter);
  if (!file) return LiveMessageFeed({});
  return LiveMessageFeed(ConvertSmfMessages(reporter, file->bytes.data(), file->size));
}

void LiveMessageFeed::PlayDue(uint32_t ms, MidiInProc& input) {
  for (; next_ < messages_.size() && messages_[next_].time <= ms; ++next_) {
    const SeqEvent& e = messages_[next_];
    if (e.type != ChannelMessage) continue;  // the tempo changes only timed the others
    input.OnMessage(static_cast<uint8_t>(e.key), static_cast<uint8_t>(e.key >> 8), static_cast<uint8_t>(e.key >> 16));
  }
}

}  // namespace tavolin
