// Feeds arbitrary bytes to the MIDI file converter as a whole file. Besides
// the sanitizers' checks: every event it yields must be well formed, and a
// refused file must yield nothing.

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  file.insert(file.end(), 4, 0xFF);  // the end mark the loader places behind a file
  CountingReporter reporter;
  bool closed = false;
  const tavolin::EventList events = tavolin::ConvertSmf(reporter, file.data(), size, [&closed] { closed = true; });
  if (reporter.errors > 1) std::abort();
  if (reporter.errors == 1 && !events.empty()) std::abort();
  if (!events.empty() && !closed) std::abort();
  for (const tavolin::SeqEvent& e : events) {
    if (e.type > tavolin::Volume) std::abort();
    if (e.type != tavolin::Tempo && e.channel > 15) std::abort();
    if (e.type == tavolin::NoteOn && (e.level < 0 || e.level > 255)) std::abort();
    if (e.type == tavolin::Volume && (e.value < 0 || e.value > 1)) std::abort();
  }
  return 0;
}
