#pragma once
// The null device, for systems without any audio output: buffers come back
// at the real-time pace of a sound card and are heard by no one.

#include "platform/WaveOut.h"

namespace tavolin {

WaveOutOpenResult OpenNullWaveOut(MessageQueue& notify);

}  // namespace tavolin
