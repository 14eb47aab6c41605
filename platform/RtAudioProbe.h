#pragma once
// Asking RtAudio about its sound systems and their output devices, quietly
// and without letting its exceptions out. Used by the platform layer only.

#include <rtaudio/RtAudio.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavolin {

// RtAudio reports every failure by throwing; nothing of it leaves the
// platform layer.
template <typename F>
bool Guarded(F&& f, std::string* error = nullptr) {
  try {
    f();
    return true;
  } catch (const std::exception& e) {
    if (error != nullptr) *error = e.what();
    return false;
  } catch (...) {
    if (error != nullptr) *error = "unknown audio system error";
    return false;
  }
}

// While it lives, ALSA's library keeps its messages to itself: on a machine
// without a sound card every probe prints its failures to stderr, which would
// bury our own one-line notices.
class QuietAlsa {
 public:
  QuietAlsa();
  ~QuietAlsa();
  QuietAlsa(const QuietAlsa&) = delete;
  QuietAlsa& operator=(const QuietAlsa&) = delete;
};

// An RtAudio object on `api` with its warnings off. Throws as RtAudio does.
std::unique_ptr<RtAudio> QuietRtAudio(RtAudio::Api api);

struct RtAudioOutput {
  unsigned int id = 0;  // RtAudio's device number
  std::string name;
  unsigned int channels = 0;
  bool isDefault = false;
};

// The devices of `audio` that can play, in RtAudio's order. Throws as RtAudio does.
std::vector<RtAudioOutput> OutputsOf(RtAudio& audio);

// The output that `wanted` names: a device's whole name, else the first
// whose name contains it; on ALSA also the card-number form "hw:N" or
// "hw:N,M", which names card N's device M (0 when not given).
std::optional<RtAudioOutput> FindOutput(RtAudio::Api api, const std::vector<RtAudioOutput>& outputs,
                                        const std::string& wanted);

// A sound system and the output device on it that a stream is to play on.
struct ChosenOutput {
  std::unique_ptr<RtAudio> audio;  // null when nothing was found
  RtAudioOutput output;
  std::string error;      // what was not found
  bool noDevice = false;  // no sound system has any output device at all
};

// `api` is RtAudio's short name of a sound system ("jack", "alsa", "pulse");
// empty: the first in RtAudio's order that has an output device. `device`
// names one of its outputs (FindOutput); empty: the system's default output.
ChosenOutput ChooseOutput(const std::string& api, const std::string& device);

}  // namespace tavolin
