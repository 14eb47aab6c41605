#pragma once
// The sound systems that RtAudio was built with and the output devices each
// of them finds: what `tavolin --list-audio` shows and `--audio` chooses from.

#include <string>
#include <vector>

namespace tavolin {

struct SoundOutput {
  std::string name;
  unsigned int channels = 0;
  bool isDefault = false;  // the system's default output
};

struct SoundSystemOutputs {
  std::string api;  // RtAudio's short name: "jack", "pulse", "alsa" ...
  std::vector<SoundOutput> outputs;
  std::string error;  // the system could not be asked
};

// RtAudio's short names of the sound systems, in its order of preference.
std::vector<std::string> SoundSystemNames();

// Every sound system with its output devices, in RtAudio's order.
std::vector<SoundSystemOutputs> ListSoundOutputs();

// Empty when sound system `api` has output `device` (empty: any output);
// otherwise what was not found.
std::string MissingSoundOutput(const std::string& api, const std::string& device);

}  // namespace tavolin
