#pragma once
// Thread names, as top -H, debuggers and crash reports show them.

namespace tavolin {

// Names the calling thread; the system keeps at most 15 characters.
void NameCurrentThread(const char* name);

}  // namespace tavolin
