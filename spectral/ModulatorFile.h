#pragma once
// Reading the vocoder's modulator from a WAVE file: the samples of its
// "data" chunk, taken as 16-bit little-endian mono at 44100 Hz whatever the
// format chunk says; a format chunk that says otherwise only earns a warning.

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "synth/ModulatorHandOff.h"

namespace tavolin {

struct ModulatorLoad {
  std::unique_ptr<ModulatorData> data;  // null when refused
  std::string error;                    // why, for the user; empty on success
  // How the data is read, when the format chunk says another format; else empty.
  std::string warning;
};

// Called between the reads of a large data chunk (the window thread handles
// its events there, so a slow disk does not freeze it).
using BetweenReads = std::function<void()>;

// A data chunk that claims more than the file holds is shortened to what
// is there. Refused, with the reason: a file that cannot be opened, is not a
// RIFF "WAVE" file, or has no "data" chunk.
ModulatorLoad LoadModulatorFile(const std::string& path, const BetweenReads& betweenReads = {});

// The same from an open file, which it closes; `name` names it in messages.
ModulatorLoad LoadModulator(std::FILE* file, const std::string& name, const BetweenReads& betweenReads = {});

}  // namespace tavolin
