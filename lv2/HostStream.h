#pragma once
// The engine as the host's stream: frames at the host's rate go in and come
// out. At the engine's own rate that is PluginEngine alone; at any other,
// the engine still renders at 44100 Hz, where its numbers are defined, and
// its output is converted. Host frame h of the stream falls in engine sample
// floor(h x 44100 / rate), which is where a message at h is applied.
//
// The stream's frames are the host's timeline frames once the host says
// where its transport is (Transport): as the transport starts rolling, or
// jumps while it rolls, the stream starts afresh at that frame, so blocks
// begin where the timeline's engine samples are multiples of 1024 and the
// converter's phase is the timeline's, whatever happened before. Without a
// transport, the stream's frames count from activation.

#include <cstdint>
#include <memory>
#include <optional>

#include "lv2/PluginEngine.h"
#include "lv2/RateConverter.h"

namespace tavolin {

class HostStream {
 public:
  // Allocates everything; `maxFrames` is the most one Play may be asked for.
  HostStream(double rate, uint32_t maxFrames);
  bool Ok() const { return ok_; }

  PluginEngine& engine() { return *engine_; }
  // The output's delay behind the input, in host frames, under the engine's
  // present timing rule.
  uint32_t Latency() const;

  // [audio thread] Starts afresh at host frame `frame`: at 0 as the host
  // activates it, at the timeline's frame where its transport says.
  void Locate(uint64_t frame);
  // [audio thread] Where the host's transport is at the present frame: its
  // timeline frame and speed (0: stopped). The frame where the stream must
  // start afresh, if it must: the transport starts rolling or has jumped.
  std::optional<uint64_t> Transport(int64_t frame, double speed);
  // [audio thread] Moves the input on by `frames` host frames and writes as
  // many frames of output.
  void Play(float* out, uint32_t frames);

 private:
  uint64_t EnginePosition(uint64_t hostFrames) const;

  double rate_;
  uint32_t maxFrames_;
  uint32_t engineFrames_ = 0;  // the most one call can span
  std::unique_ptr<PluginEngine> engine_;
  std::unique_ptr<RateConverter> converter_;  // null at the engine's rate
  std::unique_ptr<float[]> engineOut_;        // on its way to the converter
  uint64_t phaseSamples_ = 1;                 // engine samples from one exact host frame to the next
  uint64_t hostFrames_ = 0;
  uint32_t converterDelay_ = 0;
  bool rolling_ = false;
  bool ok_ = false;
};

}  // namespace tavolin
