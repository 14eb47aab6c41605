#include "lv2/PluginEngine.h"

#include <algorithm>
#include <bit>
#include <new>

#include "spectral/Fft.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

PluginEngine::PluginEngine(uint32_t maxFrames) {
  // Rendered and not yet output: the latency's block, the block an Advance
  // may finish, and what one call moves on.
  const uint64_t fifoSize = std::bit_ceil(uint64_t{kLatency} + kBlockSamples + maxFrames);
  blocks_.reset(new (std::nothrow) int16_t[2 * kBlockSamples]());
  fifo_.reset(new (std::nothrow) float[fifoSize]());
  ok_ = blocks_ && fifo_ && FftInit(areas_.fft, kFftSize) && AllocateWorkAreas(areas_);
  fifoMask_ = fifoSize - 1;
  fifoIn_ = kLatency;  // the output begins with one block of silence
  ClearVoiceTable(synth_.voices);
  BuildNoteFreqTable(synth_.noteFreq);
}

void PluginEngine::Advance(uint32_t frames) {
  while (frames > 0) {
    const uint32_t toBlockEnd = kBlockSamples - static_cast<uint32_t>(input_ % kBlockSamples);
    const uint32_t n = std::min(frames, toBlockEnd);
    input_ += n;
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
  for (uint32_t i = 0; i < kBlockSamples; ++i)
    fifo_[(fifoIn_ + i) & fifoMask_] = static_cast<float>(block[i]) / 32768.0f;
  fifoIn_ += kBlockSamples;
  ++blocksRendered_;
}

void PluginEngine::Output(float* out, uint32_t frames) {
  for (uint32_t i = 0; i < frames; ++i) out[i] = fifo_[(fifoOut_ + i) & fifoMask_];
  fifoOut_ += frames;
}

}  // namespace tavolin
