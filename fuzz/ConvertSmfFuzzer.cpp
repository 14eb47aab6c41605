// Feeds arbitrary bytes to the MIDI file converter as a whole file, read
// both as a song and as live input (--midi-in). Besides the sanitizers'
// checks: every event either reading yields must be well formed, a refused
// file must yield nothing, and both readings must refuse the same files.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "midi/player/ConvertSmf.h"

namespace {

class CountingReporter final : public tavolin::SongReporter {
 public:
  void SetTitle(std::string_view) override {}
  void ShowError(std::string_view, std::string_view) override { ++errors; }
  void PumpEvents() override {}
  bool EscapeHeld() override { return false; }
  int errors = 0;
};

void CheckRefusal(const CountingReporter& reporter, const tavolin::EventList& events) {
  if (reporter.errors > 1) std::abort();
  if (reporter.errors == 1 && !events.empty()) std::abort();
}

void CheckSongEvents(const tavolin::EventList& events) {
  for (const tavolin::SeqEvent& e : events) {
    if (e.type > tavolin::Volume) std::abort();
    if (e.type != tavolin::Tempo && e.channel > 15) std::abort();
    if (e.type == tavolin::NoteOn && (e.level < 0 || e.level > 255)) std::abort();
    if (e.type == tavolin::Volume && (e.value < 0 || e.value > 1)) std::abort();
  }
}

// Only tempo changes and channel messages as the file holds them: a status
// of 0x80 to 0xEF and two data bytes.
void CheckLiveMessages(const tavolin::EventList& events) {
  for (const tavolin::SeqEvent& e : events) {
    if (e.type == tavolin::Tempo) continue;
    if (e.type != tavolin::ChannelMessage) std::abort();
    const uint32_t status = e.key & 0xFF;
    if (status < 0x80 || status > 0xEF || e.key >> 24 != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  file.insert(file.end(), 4, 0xFF);  // the end mark the loader places behind a file
  CountingReporter song;
  bool closed = false;
  const tavolin::EventList events = tavolin::ConvertSmf(song, file.data(), size, [&closed] { closed = true; });
  CheckRefusal(song, events);
  if (!events.empty() && !closed) std::abort();
  CheckSongEvents(events);

  CountingReporter live;
  const tavolin::EventList messages = tavolin::ConvertSmfMessages(live, file.data(), size);
  CheckRefusal(live, messages);
  if (live.errors != song.errors) std::abort();
  CheckLiveMessages(messages);
  return 0;
}
