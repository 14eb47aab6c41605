// Render time of one block as a share of the 23.22 ms the block lasts
// (counter block_share), for the loads the engine is sized for.

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cmath>

#include "audio/PullPath.h"
#include "bench/BlockShare.h"
#include "bench/Loads.h"
#include "tests/audio/PipelineRig.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// 128 held voices on notes spread over the keyboard.
void StartVoices(PipelineRig& rig, int32_t mode) {
  for (int v = 0; v < kVoiceCount; ++v) rig.Start(rig.synth.noteFreq[20 + v % 80], mode, v * 7 % 1024);
}

// `betweenBlocks` runs before each block, as the window thread might.
template <typename BetweenBlocks = void (*)()>
void RenderBlocks(
    benchmark::State& state, PipelineRig& rig, BetweenBlocks betweenBlocks = [] {}) {
  for (auto _ : state) {
    betweenBlocks();
    RenderBlock(rig.pipeline);
    benchmark::DoNotOptimize(rig.LastBlock()[0]);
  }
  SetBlockShare(state);
}

// 128 voices in mode 3, with or without the spectral low-pass, which
// transforms whole blocks (the pull path renders those ahead).
void SetUpMode3(PipelineRig& rig, bool lowPass) {
  rig.master.LPFOn.store(lowPass ? 1 : 0, kRelaxed);
  StartVoices(rig, 3);
}

void PlainMode3(benchmark::State& state) {
  PipelineRig rig;
  SetUpMode3(rig, false);
  RenderBlocks(state, rig);
}

void PlainMode3Lpf(benchmark::State& state) {
  PipelineRig rig;
  SetUpMode3(rig, true);
  RenderBlocks(state, rig);
}

// The pull path handing out a block's 1024 samples in pieces of
// state.range(0), as a device with that period asks for them; block_share
// compares with the ring's whole block above; call_p99_us is what one call
// takes at the 99th percentile (what must fit in the device's period).
void PullBlocks(benchmark::State& state, PipelineRig& rig) {
  PullPath pull(rig.pipeline);
  const auto piece = static_cast<uint32_t>(state.range(0));
  std::array<int16_t, kBlockSamples> out{};
  BlockTimings calls;
  for (auto _ : state) {
    for (uint32_t at = 0; at < kBlockSamples; at += piece) {
      std::chrono::nanoseconds took{0};
      {
        const RenderTimer timed(took);
        pull.Fill(out.data() + at, piece);
      }
      calls.Record(took);
    }
    benchmark::DoNotOptimize(out[0]);
  }
  SetBlockShare(state);
  state.counters["call_p99_us"] = std::chrono::duration<double, std::micro>(calls.Percentile(0.99)).count();
}

void PullPlainMode3(benchmark::State& state) {
  PipelineRig rig;
  SetUpMode3(rig, false);
  PullBlocks(state, rig);
}

void PullPlainMode3Lpf(benchmark::State& state) {
  PipelineRig rig;
  SetUpMode3(rig, true);
  PullBlocks(state, rig);
}

// Blocks whose voices must each be rendered over the whole block, rendered
// ahead and spread over the calls.
void PullRingDetuneLpfMode9(benchmark::State& state) {
  PipelineRig rig;
  rig.synth.switches.RingOn.store(1, kRelaxed);
  rig.synth.switches.DetuneOn.store(1, kRelaxed);
  rig.master.LPFOn.store(1, kRelaxed);
  StartVoices(rig, 9);
  PullBlocks(state, rig);
}

void UnisonDetune(benchmark::State& state) {
  PipelineRig rig;
  rig.synth.switches.DetuneOn.store(1, kRelaxed);
  StartVoices(rig, 9);
  RenderBlocks(state, rig);
}

// The vibrato reads the system's steady clock on every sample, as the
// program does.
void RingAllEffects(benchmark::State& state) {
  SteadyClock clock;
  PipelineRig rig(&clock);
  SwitchOnRingAllEffects(rig.synth, rig.master);
  StartVoices(rig, 3);
  RenderBlocks(state, rig);
}

// Three seconds of a swept tone, for the vocoder to play.
std::unique_ptr<ModulatorData> SyntheticModulator() {
  constexpr uint32_t kSamples = 3 * 44100;
  auto data = std::make_unique<ModulatorData>();
  data->bytes = kSamples * 2;
  data->samples = std::make_unique<int16_t[]>(kSamples);
  double phase = 0.0;
  for (uint32_t i = 0; i < kSamples; ++i) {
    phase += 2.0 * 3.141592653589793 * (200.0 + 2000.0 * i / kSamples) / 44100.0;
    data->samples[i] = static_cast<int16_t>(12000.0 * std::sin(phase));
  }
  return data;
}

// The heaviest case with the spectral low- and high-pass both on and the
// vocoder playing, started again whenever it has played out: the most
// transforms a block can take.
void RingAllEffectsVocoder(benchmark::State& state) {
  SteadyClock clock;
  PipelineRig rig(&clock);
  SwitchOnRingAllEffects(rig.synth, rig.master);
  StartVoices(rig, 3);
  rig.master.LPFOn.store(1, kRelaxed);
  rig.master.HPFOn.store(1, kRelaxed);
  rig.modulator.Install(SyntheticModulator());
  RenderBlocks(state, rig, [&rig] {
    if (rig.modulator.Position() < 0) rig.modulator.Start();
  });
}

BENCHMARK(PlainMode3)->Name("RenderBlock/plain_mode3_128");
BENCHMARK(PlainMode3Lpf)->Name("RenderBlock/plain_mode3_lpf_128");
BENCHMARK(PullPlainMode3)->Name("PullPath/plain_mode3_128")->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(PullPlainMode3Lpf)->Name("PullPath/plain_mode3_lpf_128")->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(PullRingDetuneLpfMode9)->Name("PullPath/ring_detune_lpf_mode9_128")->Arg(256)->Arg(1024);
BENCHMARK(UnisonDetune)->Name("RenderBlock/unison_detune_128");
BENCHMARK(RingAllEffects)->Name("RenderBlock/ring_all_effects_128");
BENCHMARK(RingAllEffectsVocoder)->Name("RenderBlock/ring_all_effects_vocoder_128");

}  // namespace
}  // namespace tavolin

BENCHMARK_MAIN();
