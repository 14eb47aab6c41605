// The LV2 instrument's cost per block of 1024 samples (counter block_share,
// as the window program's RenderBlock cases give it), driven as a host
// drives it: 128 held notes, calls of state.range(0) frames, at 44100 Hz
// and converted to 48000 Hz. call_p99_us is what one call takes at the 99th
// percentile, which must fit in the host's period.

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "audio/BlockTimings.h"
#include "bench/BlockShare.h"
#include "bench/Loads.h"
#include "lv2/HostStream.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// 128 voices in mode 3: every key of the MIDI range held.
void HoldEveryKey(PluginEngine& engine) {
  engine.synth().CurrentMode.store(3, kRelaxed);
  for (uint8_t key = 0; key < 128; ++key) {
    const uint8_t on[] = {0x90, key, 100};
    engine.Message(on, sizeof on);
  }
}

// Calls of state.range(0) frames until a block's worth has passed, per
// iteration; with a rate, the output is converted to it.
void RunCalls(benchmark::State& state, bool allEffects, double rate) {
  const auto frames = static_cast<uint32_t>(state.range(0));
  HostStream stream(rate, 4096);
  // As RenderBlock/ring_all_effects_128.
  if (allEffects) SwitchOnRingAllEffects(stream.engine().synth(), stream.engine().master());
  HoldEveryKey(stream.engine());
  std::vector<float> out(4096);
  BlockTimings calls;
  for (auto _ : state) {
    for (uint32_t at = 0; at < kBlockSamples; at += frames) {
      std::chrono::nanoseconds took{0};
      {
        const RenderTimer timed(took);
        stream.Play(out.data(), frames);
      }
      calls.Record(took);
    }
    benchmark::DoNotOptimize(out[0]);
  }
  SetBlockShare(state);
  state.counters["call_p99_us"] = std::chrono::duration<double, std::micro>(calls.Percentile(0.99)).count();
}

void PlainMode3(benchmark::State& state) { RunCalls(state, false, 44100.0); }
void RingAllEffects(benchmark::State& state) { RunCalls(state, true, 44100.0); }
void RingAllEffectsAt48k(benchmark::State& state) { RunCalls(state, true, 48000.0); }

}  // namespace

BENCHMARK(PlainMode3)->Name("Plugin/plain_mode3_128")->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(RingAllEffects)->Name("Plugin/ring_all_effects_128")->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(RingAllEffectsAt48k)->Name("Plugin/ring_all_effects_128_at_48000")->Arg(256);

}  // namespace tavolin
