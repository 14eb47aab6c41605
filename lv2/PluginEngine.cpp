#include "lv2/PluginEngine.h"

#include <algorithm>
#include <new>

#include "spectral/Fft.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

PluginEngine::PluginEngine(uint32_t maxFrames) {
  // Rendered and not yet output: the latency's block, the block an Advance
  // may finish, and what one call moves on.
  blocks_.reset(new (std::nothrow) int16_t[2 * kBlockSamples]());
  ok_ = blocks_ && fifo_.Allocate(uint64_t{kLatency} + kBlockSamples + maxFrames) && FftInit(areas_.fft, kFftSize) &&
        AllocateWorkAreas(areas_);
  fifo_.WriteSilence(kLatency);  // the output begins with one block of silence
  ClearVoiceTable(synth_.voices);
  BuildNoteFreqTable(synth_.noteFreq);
}

void PluginEngine::Advance(uint32_t frames) {
  while (frames > 0) {
    const uint32_t toBlockEnd = kBlockSamples - static_cast<uint32_t>(input_.at % kBlockSamples);
    const uint32_t n = std::min(frames, toBlockEnd);
    input_.at += n;
    frames -= n;
    if (n == toBlockEnd) RenderNextBlock();
  }
}

void PluginEngine::RenderNextBlock() {
  // The clock stands at the block's start, in whole milliseconds of samples.
  clock_.Set(VirtualMilliseconds(blocksRendered_ * kBlockSamples));
  int16_t* previous = blocks_.get() + current_ * kBlockSamples;
  current_ = 1 - current_;
  int16_t* block = blocks_.get() + current_ * kBlockSamples;
  RenderWholeBlock(pipeline_, block, previous, modulator_.FrameForThisBlock());
  for (uint32_t i = 0; i < kBlockSamples; ++i) fifo_.Write(static_cast<float>(block[i]) / 32768.0f);
  ++blocksRendered_;
}

void PluginEngine::Output(float* out, uint32_t frames) { fifo_.Read(out, frames); }

}  // namespace tavolin
