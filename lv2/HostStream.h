#pragma once
// The engine as the host's stream: frames at the host's rate go in and come
// out. At the engine's own rate that is PluginEngine alone; at any other,
// the engine still renders at 44100 Hz, where its numbers are defined, and
// its output is converted. Host frame h falls in engine sample
// floor(h x 44100 / rate), which is where a message at h is applied.

#include <cstdint>
#include <memory>

#include "lv2/PluginEngine.h"
#include "lv2/RateConverter.h"

namespace tavolin {

class HostStream {
 public:
  // Allocates everything; `maxFrames` is the most one Play may be asked for.
  HostStream(double rate, uint32_t maxFrames);
  bool Ok() const { return ok_; }

  PluginEngine& engine() { return *engine_; }
  // The output's delay behind the input, in host frames.
  uint32_t Latency() const { return latency_; }

  // [audio thread] Moves the input on by `frames` host frames and writes as
  // many frames of output.
  void Play(float* out, uint32_t frames);

 private:
  uint64_t EnginePosition(uint64_t hostFrames) const;

  double rate_;
  std::unique_ptr<PluginEngine> engine_;
  std::unique_ptr<RateConverter> converter_;  // null at the engine's rate
  std::unique_ptr<float[]> engineOut_;        // on its way to the converter
  uint64_t hostFrames_ = 0;
  uint32_t latency_ = PluginEngine::kLatency;
  bool ok_ = false;
};

}  // namespace tavolin
