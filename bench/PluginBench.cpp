// The LV2 instrument's cost, driven as a host drives it: per block of 1024
// samples (counter block_share, as the window program's RenderBlock cases
// give it) and per call (call_p99_us, what one call takes at the 99th
// percentile, which must fit well in the host's period: the calling
// thread's processor time, so that other work on the machine does not
// count), with 128 held
// notes, calls of state.range(0) frames, at 44100 Hz and converted to 48000
// Hz, under the zero-latency rule unless the name says "compensated". And
// what an activation and a transport jump cost, at 48000 and 96000 Hz.

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <vector>

#include "audio/BlockTimings.h"
#include "bench/BlockShare.h"
#include "bench/Loads.h"
#include "lv2/HostStream.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

std::chrono::nanoseconds ThreadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// 128 voices in mode 3: every key of the MIDI range held.
void HoldEveryKey(PluginEngine& engine) {
  engine.synth().CurrentMode.store(3, kRelaxed);
  for (uint8_t key = 0; key < 128; ++key) {
    const uint8_t on[] = {0x90, key, 100};
    engine.Message(on, sizeof on);
  }
}

struct Load {
  bool allEffects;
  bool compensated;
  double rate;
};

// Calls of state.range(0) frames until a block's worth has passed, per
// iteration; with a rate, the output is converted to it.
void RunCalls(benchmark::State& state, Load load) {
  const auto frames = static_cast<uint32_t>(state.range(0));
  HostStream stream(load.rate, 4096);
  // As RenderBlock/ring_all_effects_128.
  if (load.allEffects) SwitchOnRingAllEffects(stream.engine().synth(), stream.engine().master());
  stream.engine().SetCompensated(load.compensated);
  stream.Locate(0);
  HoldEveryKey(stream.engine());
  std::vector<float> out(4096);
  BlockTimings calls;
  for (auto _ : state) {
    for (uint32_t at = 0; at < kBlockSamples; at += frames) {
      const std::chrono::nanoseconds start = ThreadTime();
      stream.Play(out.data(), frames);
      calls.Record(ThreadTime() - start);
    }
    benchmark::DoNotOptimize(out[0]);
  }
  SetBlockShare(state);
  state.counters["call_p99_us"] = std::chrono::duration<double, std::micro>(calls.Percentile(0.99)).count();
}

void PlainMode3(benchmark::State& state) { RunCalls(state, {false, false, 44100.0}); }
void PlainMode3Compensated(benchmark::State& state) { RunCalls(state, {false, true, 44100.0}); }
void RingAllEffects(benchmark::State& state) { RunCalls(state, {true, false, 44100.0}); }
void RingAllEffectsCompensated(benchmark::State& state) { RunCalls(state, {true, true, 44100.0}); }
void RingAllEffectsAt48k(benchmark::State& state) { RunCalls(state, {true, false, 48000.0}); }

// A host's activation (hosts call it on their audio thread), or a jump of
// the transport to a frame that is not on the converter's phase, while
// 128 notes sound.
void StartAfresh(benchmark::State& state, double rate, uint64_t frame) {
  HostStream stream(rate, 4096);
  std::vector<float> out(4096);
  for (auto _ : state) {
    state.PauseTiming();
    HoldEveryKey(stream.engine());
    stream.Play(out.data(), 256);
    state.ResumeTiming();
    stream.Locate(frame);
  }
}

void Activate(benchmark::State& state) { StartAfresh(state, static_cast<double>(state.range(0)), 0); }
void Relocate(benchmark::State& state) {
  const auto rate = static_cast<double>(state.range(0));
  StartAfresh(state, rate, static_cast<uint64_t>(rate) * 60 + 4703);
}

}  // namespace

BENCHMARK(PlainMode3)->Name("Plugin/plain_mode3_128")->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(PlainMode3Compensated)->Name("Plugin/plain_mode3_128_compensated")->Arg(64)->Arg(256);
BENCHMARK(RingAllEffects)->Name("Plugin/ring_all_effects_128")->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(RingAllEffectsCompensated)->Name("Plugin/ring_all_effects_128_compensated")->Arg(64);
BENCHMARK(RingAllEffectsAt48k)->Name("Plugin/ring_all_effects_128_at_48000")->Arg(64)->Arg(256);
BENCHMARK(Activate)->Name("Plugin/activate")->Arg(48000)->Arg(96000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Relocate)->Name("Plugin/relocate")->Arg(48000)->Arg(96000)->Unit(benchmark::kMicrosecond);

}  // namespace tavolin
