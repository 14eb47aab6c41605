#include "lv2/PluginEngine.h"

#include <algorithm>
#include <new>

#include "spectral/Fft.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

PluginEngine::PluginEngine(uint32_t maxFrames) : maxFrames_(maxFrames) {
  pending_.reset(new (std::nothrow) Pending[kMostPending]);
  samples_.reset(new (std::nothrow) int16_t[maxFrames]);
  ok_ = pending_ && samples_ && FftInit(areas_.fft, kFftSize) && AllocateWorkAreas(areas_);
  ClearVoiceTable(synth_.voices);
  BuildNoteFreqTable(synth_.noteFreq);
  if (ok_) Restart(0);
}

void PluginEngine::Restart(uint64_t position) {
  ClearVoiceTable(synth_.voices);
  master_.ResoY = 0.0;
  master_.ResoV = 0.0;
  master_.RepaintCounter = 0;
  renderState_ = VoiceRenderState{};
  modulator_.Rewind();
  pendingCount_ = 0;
  position_ = position;
  input_.at = position;
  BlockBegins();
  // Compensated, the block it starts in is the latency's silence.
  pull_.Restart(static_cast<uint32_t>(position % kBlockSamples), compensated_);
}

void PluginEngine::SetCompensated(bool on) {
  compensated_ = on;
  pull_.RenderAhead(!on);
}

void PluginEngine::Message(const uint8_t* bytes, size_t count) {
  if (!compensated_ || pendingCount_ == kMostPending) {
    // A message never waits behind a full queue: it is applied late rather than lost.
    Apply(position_, bytes, count);
    return;
  }
  Pending& p = pending_[pendingCount_++];
  p.at = position_;
  p.count = static_cast<uint8_t>(std::min<size_t>(count, sizeof p.bytes));
  std::copy_n(bytes, p.count, p.bytes);
}

void PluginEngine::Apply(uint64_t at, const uint8_t* bytes, size_t count) {
  input_.at = at;
  midiIn_.OnMessage(bytes, count);
}

// As a block begins: the messages of the blocks before it that waited, and
// the clock at the time of the input it plays.
void PluginEngine::BlockBegins() {
  const uint64_t start = position_ - position_ % kBlockSamples;
  size_t applied = 0;
  while (applied < pendingCount_ && pending_[applied].at < start) {
    const Pending& p = pending_[applied++];
    Apply(p.at, p.bytes, p.count);
  }
  std::copy(pending_.get() + applied, pending_.get() + pendingCount_, pending_.get());
  pendingCount_ -= applied;
  clock_.Set(VirtualMilliseconds(start - std::min<uint64_t>(start, Latency())));
}

void PluginEngine::Play(float* out, uint32_t frames) {
  frames = std::min(frames, maxFrames_);
  uint32_t done = 0;
  while (done < frames) {
    if (position_ % kBlockSamples == 0) BlockBegins();
    const auto n = std::min(frames - done, kBlockSamples - static_cast<uint32_t>(position_ % kBlockSamples));
    pull_.Fill(samples_.get() + done, n);
    position_ += n;
    done += n;
  }
  for (uint32_t i = 0; i < frames; ++i) out[i] = static_cast<float>(samples_[i]) / 32768.0f;
}

}  // namespace tavolin
