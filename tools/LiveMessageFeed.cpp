#include "tools/LiveMessageFeed.h"

#include "midi/input/MidiInProc.h"
#include "midi/player/ConvertSmf.h"
#include "midi/player/LoadMidiFile.h"
#include "platform/WaveFormat.h"

namespace tavolin {

LiveMessageFeed LiveMessageFeed::FromFile(const std::string& path, SongReporter& reporter) {
  const std::optional<FileBytes> file = ReadMidiFile(path, reporter);
  if (!file) return LiveMessageFeed({});
  return LiveMessageFeed(ConvertSmfMessages(reporter, file->bytes.data(), file->size));
}

namespace {

// The sample a message's millisecond time falls in, in integers so that it
// is the one a plugin host would count to.
uint64_t SampleOf(uint32_t ms) { return uint64_t{ms} * kSampleRate / 1000; }

}  // namespace

void LiveMessageFeed::Send(const SeqEvent& e, MidiInProc& input) {
  if (e.type != ChannelMessage) return;  // the tempo changes only timed the others
  input.OnMessage(static_cast<uint8_t>(e.key), static_cast<uint8_t>(e.key >> 8), static_cast<uint8_t>(e.key >> 16));
}

void LiveMessageFeed::PlayDue(uint32_t ms, MidiInProc& input) {
  for (; next_ < messages_.size() && messages_[next_].time <= ms; ++next_) Send(messages_[next_], input);
}

void LiveMessageFeed::PlayBefore(uint64_t end, MidiInProc& input, PlacedPosition& position) {
  for (; next_ < messages_.size() && SampleOf(messages_[next_].time) < end; ++next_) {
    position.at = SampleOf(messages_[next_].time);
    Send(messages_[next_], input);
  }
}

}  // namespace tavolin
