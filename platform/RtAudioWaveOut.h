#pragma once
// The system's default output device, through RtAudio's default API.

#include "platform/WaveOut.h"

namespace tavolin {

struct SystemWaveOutOpenResult {
  WaveOutOpenResult result;
  bool noDevice = false;  // the default API reports no device at all; result.device is null
};

SystemWaveOutOpenResult OpenRtAudioWaveOut(MessageQueue& notify);

}  // namespace tavolin
