#include "tools/EventDump.h"

#include <cinttypes>

namespace tavolin {

void PrintEvents(const EventList& events, std::FILE* out) {
  for (const SeqEvent& e : events) {
    switch (e.type) {
      case NoteOn:
        std::fprintf(out, "%" PRIu32 " NoteOn %" PRIu32 " %" PRIu32 " %d\n", e.time, e.channel, e.key,
                     static_cast<int>(e.level));
        break;
      case NoteOff: std::fprintf(out, "%" PRIu32 " NoteOff %" PRIu32 " %" PRIu32 "\n", e.time, e.channel, e.key); break;
      case Tempo: std::fprintf(out, "%" PRIu32 " Tempo %" PRIu32 "\n", e.time, e.key); break;
      case Bend: std::fprintf(out, "%" PRIu32 " Bend %" PRIu32 " %.17g\n", e.time, e.channel, e.value); break;
      case Volume: std::fprintf(out, "%" PRIu32 " Volume %" PRIu32 " %.17g\n", e.time, e.channel, e.value); break;
      default: break;
    }
  }
}

}  // namespace tavolin
