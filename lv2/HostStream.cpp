#include "lv2/HostStream.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/WaveFormat.h"

namespace tavolin {

HostStream::HostStream(double rate, uint32_t maxFrames) : rate_(rate) {
  // The engine samples one call's frames can span.
  const auto engineFrames = static_cast<uint32_t>(std::ceil(maxFrames * std::max(1.0, kSampleRate / rate))) + 1;
  engine_.reset(new (std::nothrow) PluginEngine(engineFrames));
  if (!engine_ || !engine_->Ok()) return;
  if (rate != kSampleRate) {
    converter_.reset(new (std::nothrow) RateConverter(rate, engineFrames));
    engineOut_.reset(new (std::nothrow) float[engineFrames]);
    if (!converter_ || !converter_->Ok() || !engineOut_) return;
    latency_ = static_cast<uint32_t>(std::lround(PluginEngine::kLatency * rate / kSampleRate)) + converter_->Delay();
  }
  ok_ = true;
}

uint64_t HostStream::EnginePosition(uint64_t hostFrames) const {
  if (converter_ == nullptr) return hostFrames;
  return static_cast<uint64_t>(std::floor(static_cast<double>(hostFrames) * kSampleRate / rate_));
}

void HostStream::Play(float* out, uint32_t frames) {
  const uint64_t from = EnginePosition(hostFrames_);
  hostFrames_ += frames;
  const auto engineFrames = static_cast<uint32_t>(EnginePosition(hostFrames_) - from);
  engine_->Advance(engineFrames);
  if (converter_ == nullptr) {
    engine_->Output(out, frames);
    return;
  }
  engine_->Output(engineOut_.get(), engineFrames);
  converter_->Push(engineOut_.get(), engineFrames);
  converter_->Pull(out, frames);
}

}  // namespace tavolin
