#include "platform/WaveOut.h"

namespace tavolin {

VirtualWaveOut::VirtualWaveOut(MessageQueue& notify) : WaveOut("virtual", WaveOutKind::Virtual, notify) {}

VirtualWaveOut::~VirtualWaveOut() { Close(); }

void VirtualWaveOut::Advance(uint32_t frames, int16_t* out) { Pull(out, frames); }

}  // namespace tavolin
