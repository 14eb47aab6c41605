#pragma once
// The converted event list as text, one line per event (--events).

#include <cstdio>

#include "midi/player/SeqEvent.h"

namespace tavolin {

void PrintEvents(const EventList& events, std::FILE* out);

}  // namespace tavolin
