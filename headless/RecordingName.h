#pragma once
// Where the sound module records: never over a file that is there. It may
// be restarted by its unit after a failure or to take new options, and a
// recording that survived must survive that too.

#include <optional>
#include <string>

namespace tavolin {

// `path` when no file is there, else the first of PATH-2, PATH-3 ... (the
// number before the extension: take.wav, take-2.wav) that is free; it is
// created empty, so that no other recorder takes it meanwhile. Nothing, with
// the system's reason in `error`, when none can be created.
std::optional<std::string> ClaimRecordingName(const std::string& path, std::string& error);

}  // namespace tavolin
