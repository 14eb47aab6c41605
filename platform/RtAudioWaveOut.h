#pragma once
// A sound card's output through RtAudio.

#include <string>

#include "platform/WaveOut.h"

namespace tavolin {

struct SystemWaveOutOpenResult {
  WaveOutOpenResult result;
  bool noDevice = false;  // no sound system has any output device; result.device is null
};

// Opens output `device` of sound system `api` (RtAudio's short names; see
// ChooseOutput in RtAudioProbe.h). Both empty: RtAudio's default choice.
SystemWaveOutOpenResult OpenRtAudioWaveOut(MessageQueue& notify, uint32_t period, const std::string& api = {},
                                           const std::string& device = {});

}  // namespace tavolin
