#include "lv2/HostStream.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>

#include "platform/WaveFormat.h"

namespace tavolin {

namespace {

// The longest run of silence converted to bring the converter's phase to the
// timeline's after a jump (441 samples at 8, 16 or 32 kHz, 147 at 48 or 96
// kHz): beyond it (rates without a short common period with 44100 Hz) the
// phase is that of the jump's own frame.
constexpr uint64_t kLongestPhaseRun = 1024;

// Engine samples between host frames that fall on engine samples exactly.
uint64_t PhaseSamples(double rate) {
  constexpr uint64_t kEngineRate = static_cast<uint64_t>(kSampleRate);
  if (rate != std::floor(rate)) return 1;
  const uint64_t period = kEngineRate / std::gcd(kEngineRate, static_cast<uint64_t>(rate));
  return period <= kLongestPhaseRun ? period : 1;
}

}  // namespace

HostStream::HostStream(double rate, uint32_t maxFrames) : rate_(rate), maxFrames_(maxFrames) {
  engineFrames_ = static_cast<uint32_t>(std::ceil(maxFrames * std::max(1.0, kSampleRate / rate))) + 1;
  engine_.reset(new (std::nothrow) PluginEngine(engineFrames_));
  if (!engine_ || !engine_->Ok()) return;
  if (rate != kSampleRate) {
    converter_.reset(new (std::nothrow) RateConverter(rate, engineFrames_));
    engineOut_.reset(new (std::nothrow) float[engineFrames_]);
    if (!converter_ || !converter_->Ok() || !engineOut_) return;
    converterDelay_ = converter_->Delay();
    phaseSamples_ = PhaseSamples(rate);
  }
  ok_ = true;
}

uint32_t HostStream::Latency() const {
  const uint32_t engine = engine_->Latency();
  if (converter_ == nullptr) return engine;
  return static_cast<uint32_t>(std::lround(engine * rate_ / kSampleRate)) + converterDelay_;
}

uint64_t HostStream::EnginePosition(uint64_t hostFrames) const {
  if (converter_ == nullptr) return hostFrames;
  return static_cast<uint64_t>(std::floor(static_cast<double>(hostFrames) * kSampleRate / rate_));
}

std::optional<uint64_t> HostStream::Transport(int64_t frame, double speed) {
  const bool rolls = speed != 0.0;
  const bool starts = rolls && frame >= 0 && (!rolling_ || static_cast<uint64_t>(frame) != hostFrames_);
  rolling_ = rolls;
  if (!starts) return std::nullopt;
  return static_cast<uint64_t>(frame);
}

// The engine starts afresh at the frame's engine sample, and the converter
// as if it had converted silence since the last host frame before it that
// falls on an engine sample exactly.
void HostStream::Locate(uint64_t frame) {
  const uint64_t position = EnginePosition(frame);
  engine_->Restart(position);
  hostFrames_ = frame;
  if (converter_ == nullptr) return;
  converter_->Reset();
  const uint64_t exact = position - position % phaseSamples_;
  uint64_t from = static_cast<uint64_t>(std::llround(static_cast<double>(exact) * rate_ / kSampleRate));
  if (phaseSamples_ == 1) from = frame;
  std::fill_n(engineOut_.get(), engineFrames_, 0.0f);
  for (uint64_t at = from; at < frame;) {
    const uint64_t n = std::min<uint64_t>(frame - at, maxFrames_);
    const auto samples = static_cast<uint32_t>(EnginePosition(at + n) - EnginePosition(at));
    converter_->Push(engineOut_.get(), samples);
    converter_->Skip(static_cast<uint32_t>(n));
    at += n;
  }
}

void HostStream::Play(float* out, uint32_t frames) {
  const uint64_t from = EnginePosition(hostFrames_);
  hostFrames_ += frames;
  const auto engineFrames = static_cast<uint32_t>(EnginePosition(hostFrames_) - from);
  if (converter_ == nullptr) {
    engine_->Play(out, frames);
    return;
  }
  engine_->Play(engineOut_.get(), engineFrames);
  converter_->Push(engineOut_.get(), engineFrames);
  converter_->Pull(out, frames);
}

}  // namespace tavolin
