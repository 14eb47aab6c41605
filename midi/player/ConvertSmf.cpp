#include "midi/player/ConvertSmf.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>

#include "midi/player/TrackMerge.h"

namespace tavolin {

namespace {

constexpr uint16_t kFullLevel = 16383;  // 14-bit controller pair at its start value

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Per-track state; starts afresh with every track chunk.
struct TrackState {
  uint32_t ticks = 0;
  uint8_t runningStatus = 0;
  std::array<uint16_t, 16> volume;
  std::array<uint16_t, 16> expression;
  uint8_t bendRange = 2;  // semitones
  uint32_t parameterMsb = 0x7F;
  uint32_t parameterLsb = 0x7F;

  TrackState() {
    volume.fill(kFullLevel);
    expression.fill(kFullLevel);
  }
  uint32_t SelectedParameter() const { return parameterMsb << 7 | parameterLsb; }
};

// What becomes of a channel message: the player's events, or the message itself.
enum class ChannelMessages { Interpreted, Kept };

class Converter {
 public:
  Converter(SongReporter& reporter, const uint8_t* data, size_t size, ChannelMessages messages)
      : reporter_(reporter), data_(data), size_(size), messages_(messages) {}

  // Returns false when the file was refused; the message has been shown.
  bool CheckHeader();
  bool WalkChunks();
  EventList TimedList();

 private:
  bool ConvertTrack(uint64_t start, uint64_t length);
  bool ReadByte(uint64_t& pos, uint8_t& out) const {
    if (pos >= size_) return false;
    out = data_[pos++];
    return true;
  }
  bool ReadVarLen(uint64_t& pos, uint32_t& out) const;
  bool HandleMessage(uint8_t status, uint64_t& pos, TrackState& track);
  bool KeepMessage(uint8_t status, uint64_t& pos, TrackState& track);
  void HandleController(uint32_t channel, uint8_t number, uint8_t value, TrackState& track);
  void Add(const TrackState& track, SeqEvent event) {
    event.time = track.ticks;
    tracks_.back().push_back(event);
  }
  void ShowProgress(uint64_t fileOffset);
  bool Refuse(const char* text) {
    reporter_.ShowError(text, kErrorCaption);
    return false;
  }

  SongReporter& reporter_;
  const uint8_t* data_;
  uint64_t size_;
  ChannelMessages messages_;
  uint16_t division_ = 0;
  std::vector<TrackEvents> tracks_;  // each track's events with their tick times
};

bool Converter::ReadVarLen(uint64_t& pos, uint32_t& out) const {
  out = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t byte = 0;
    if (!ReadByte(pos, byte)) return false;
    out = (out << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) break;  // the fourth byte ends the number whatever its top bit
  }
  return true;
}

bool Converter::CheckHeader() {
  if (size_ < 4 || std::memcmp(data_, "MThd", 4) != 0) return Refuse(kNoMThd);
  if (size_ < 8) return Refuse(kTruncatedHeader);
  if (BigEndian32(data_ + 4) != 6) return Refuse(kBadHeaderSize);
  if (size_ < 14) return Refuse(kTruncatedHeader);
  if (((data_[8] << 8) | data_[9]) >= 2) return Refuse(kBadFormat);
  division_ = static_cast<uint16_t>((data_[12] << 8) | data_[13]);
  // Every tick would last forever: refused while the old song is still intact.
  if (division_ == 0) return Refuse(kZeroDivision);
  return true;
}

bool Converter::WalkChunks() {
  uint64_t pos = 14;
  for (;;) {
    // The four 0xFF bytes behind the file make an end mark at its very end.
    if (pos + 4 <= size_ + 4 && BigEndian32(data_ + pos) == 0xFFFFFFFFu) return true;
    // A whole id that is not a track is refused as such, whatever follows it.
    if (pos + 4 <= size_ && std::memcmp(data_ + pos, "MTrk", 4) != 0) return Refuse(kUnknownChunk);
    if (pos + 8 > size_) return Refuse(kTruncatedChunk);
    const uint64_t length = BigEndian32(data_ + pos + 4);
    if (length > size_ - pos - 8) return Refuse(kChunkPastEnd);
    if (!ConvertTrack(pos + 8, length)) return false;
    pos += 8 + length;
  }
}

void Converter::ShowProgress(uint64_t fileOffset) {
  // Unsigned 32-bit arithmetic, as the title has always shown it.
  const auto offset = static_cast<uint32_t>(fileOffset);
  const auto size = static_cast<uint32_t>(size_);
  char title[96];
  std::snprintf(title, sizeof title, "Converting... %" PRIu32 "%% (%" PRIu32 "/%" PRIu32 " bytes processed.)",
                static_cast<uint32_t>(offset * 100u) / size, offset, size);
  reporter_.SetTitle(title);
  reporter_.PumpEvents();
}

bool Converter::ConvertTrack(uint64_t start, uint64_t length) {
  TrackState track;
  tracks_.emplace_back();
  uint64_t pos = start;
  while (pos - start < length) {
    if (reporter_.EscapeHeld()) return true;  // the rest of this track is skipped
    if ((pos - start) % 100 == 0) ShowProgress(pos);
    uint32_t delta = 0;
    if (!ReadVarLen(pos, delta)) return Refuse(kEventPastEnd);
    track.ticks += delta;
    if (pos >= size_) return Refuse(kEventPastEnd);
    uint8_t status = data_[pos];
    if (status & 0x80) {
      ++pos;
      track.runningStatus = status;
    } else if (track.runningStatus == 0) {
      continue;  // no status yet: the byte is read as the next delta time
    } else {
      status = track.runningStatus;
    }
    if (!HandleMessage(status, pos, track)) return Refuse(kEventPastEnd);
  }
  return true;
}

bool Converter::KeepMessage(uint8_t status, uint64_t& pos, TrackState& track) {
  const bool oneDataByte = (status & 0xE0) == 0xC0;  // program change, channel pressure
  uint8_t d1 = 0;
  uint8_t d2 = 0;
  if (!ReadByte(pos, d1) || (!oneDataByte && !ReadByte(pos, d2))) return false;
  Add(track, SeqEvent{.type = ChannelMessage, .key = uint32_t{status} | uint32_t{d1} << 8 | uint32_t{d2} << 16});
  return true;
}

bool Converter::HandleMessage(uint8_t status, uint64_t& pos, TrackState& track) {
  if (messages_ == ChannelMessages::Kept && status < 0xF0) return KeepMessage(status, pos, track);
  const uint32_t channel = status & 0x0F;
  uint8_t d1 = 0;
  uint8_t d2 = 0;
  switch (status & 0xF0) {
    case 0x80:
      if (!ReadByte(pos, d1) || !ReadByte(pos, d2)) return false;
      Add(track, SeqEvent{.type = NoteOff, .channel = channel, .key = d1});
      return true;
    case 0x90:
      if (!ReadByte(pos, d1) || !ReadByte(pos, d2)) return false;
      if (d2 == 0) {
        Add(track, SeqEvent{.type = NoteOff, .channel = channel, .key = d1});
      } else {
        const uint32_t scaled = uint32_t{d2} * track.volume[channel] / kFullLevel;
        const uint32_t level = scaled * track.expression[channel] / kFullLevel;
        Add(track, SeqEvent{.type = NoteOn, .channel = channel, .key = d1, .level = static_cast<double>(level)});
      }
      return true;
    case 0xA0: return ReadByte(pos, d1) && ReadByte(pos, d2);
    case 0xB0:
      if (!ReadByte(pos, d1) || !ReadByte(pos, d2)) return false;
      HandleController(channel, d1, d2, track);
      return true;
    case 0xC0:
    case 0xD0: return ReadByte(pos, d1);
    case 0xE0: {
      if (!ReadByte(pos, d1) || !ReadByte(pos, d2)) return false;
      const int32_t bend = ((d2 & 0x7F) - 64) * 128 + (d1 & 0x7F);
      Add(track, SeqEvent{.type = Bend, .channel = channel, .value = bend * track.bendRange / 8192.0});
      return true;
    }
    default: break;
  }
  uint32_t length = 0;
  if (status == 0xF0 || status == 0xF7) {
    if (!ReadVarLen(pos, length)) return false;
    pos += length;
    return true;
  }
  if (status == 0xFF) {
    uint8_t type = 0;
    if (!ReadByte(pos, type) || !ReadVarLen(pos, length)) return false;
    if (type == 0x51) {
      // The first three data bytes, whatever length the event declares.
      if (pos + 3 > size_) return false;
      const uint32_t microseconds = (uint32_t{data_[pos]} << 16) | (uint32_t{data_[pos + 1]} << 8) | data_[pos + 2];
      Add(track, SeqEvent{.type = Tempo, .key = microseconds});
    }
    pos += length;
  }
  return true;  // the other system statuses have no data bytes
}

void Converter::HandleController(uint32_t channel, uint8_t number, uint8_t value, TrackState& track) {
  const uint16_t v = value & 0x7F;
  uint16_t& volume = track.volume[channel];
  uint16_t& expression = track.expression[channel];
  switch (number) {
    case 7:
      volume = static_cast<uint16_t>(v * 128 + (volume & 0x7F));
      Add(track, SeqEvent{.type = Volume, .channel = channel, .value = volume / 16383.0});
      break;
    case 39:
      volume = static_cast<uint16_t>((volume & 0x3F80) + v);
      Add(track, SeqEvent{.type = Volume, .channel = channel, .value = volume / 16383.0});
      break;
    case 11:
      expression = static_cast<uint16_t>(v * 128 + (expression & 0x7F));
      Add(track, SeqEvent{.type = Volume, .channel = channel, .value = expression / 16383.0});
      break;
    case 43: expression = static_cast<uint16_t>((expression & 0x3F80) + v); break;
    case 101: track.parameterMsb = v; break;
    case 100: track.parameterLsb = v; break;
    case 6:
      // Registered parameter 0 is the pitch-bend sensitivity in semitones.
      if (track.SelectedParameter() == 0) track.bendRange = static_cast<uint8_t>(v);
      break;
    case 38:  // its fine part is in cents, below what the whole-semitone range can hold
    default: break;
  }
}

EventList Converter::TimedList() {
  reporter_.SetTitle("Timing...");
  EventList list = MergeTracks(tracks_);
  int32_t tempo = 120;  // beats per minute
  uint32_t previousTick = 0;
  uint32_t milliseconds = 0;
  for (SeqEvent& event : list) {
    const uint32_t delta = event.time - previousTick;
    const double step = (static_cast<double>(delta) / division_) * (60.0 / tempo) * 1000.0;
    // At most 2^32 ticks x 20 ms: an exact 64-bit integer; the clock wraps at 2^32 ms.
    milliseconds += static_cast<uint32_t>(static_cast<uint64_t>(step));
    previousTick = event.time;
    event.time = milliseconds;
    // A tempo of 0 would stop time: such an event leaves the tempo as it is.
    if (event.type == Tempo && event.key != 0) {
      tempo = static_cast<int32_t>((1.0 / (event.key * 0.000001)) * 60.0);
    }
  }
  return list;
}

EventList Convert(SongReporter& reporter, const uint8_t* data, size_t size, ChannelMessages messages,
                  const std::function<void()>& closeSong) {
  Converter converter(reporter, data, size, messages);
  if (!converter.CheckHeader()) return {};
  reporter.SetTitle("Closing...");
  closeSong();
  reporter.SetTitle("Converting...");
  try {
    if (!converter.WalkChunks()) return {};
    return converter.TimedList();
  } catch (const std::bad_alloc&) {
    reporter.ShowError(kConvertOutOfMemory, kErrorCaption);
    return {};
  }
}

}  // namespace

EventList ConvertSmf(SongReporter& reporter, const uint8_t* data, size_t size, const std::function<void()>& closeSong) {
  return Convert(reporter, data, size, ChannelMessages::Interpreted, closeSong);
}

EventList ConvertSmfMessages(SongReporter& reporter, const uint8_t* data, size_t size) {
  return Convert(reporter, data, size, ChannelMessages::Kept, [] {});
}

}  // namespace tavolin
