#include "audio/RenderBlock.h"

#include <algorithm>

#include "spectral/SpectralStages.h"
#include "synth/ProcessVoice.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int32_t kBlocksPerRepaint = 8;

// Runs on every block whatever the switches: the output spectrum always
// shows the block as it leaves the chain.
void RunSpectralStages(BlockPipeline& p, int16_t* block) {
  const MasterChain& chain = p.master;
  const SynthParams& params = p.synth.params;
  WorkAreas& a = p.areas;
  const SpectralSettings settings{chain.LPFOn.load(kRelaxed) != 0, params.LPFFact.load(kRelaxed),
                                  chain.HPFOn.load(kRelaxed) != 0, params.HPFFact.load(kRelaxed)};
  const SpectralAreas areas{a.BlockComplex.get(), a.ModulatorComplex.get(),
                            p.spectrumShown ? a.OutputSpectrum.get() : nullptr, a.ModulatorSpectrum.get()};
  const int16_t* frame = p.modulator.FrameForThisBlock();
  SpectralStages(a.fft, block, settings, frame, areas);
  if (frame != nullptr) {
    p.modulator.AdvanceFrame();
    a.Display->modulatorSpectrum.Publish(0, a.ModulatorSpectrum.get(), kBlockSamples);
  }
  if (p.spectrumShown) a.Display->outputSpectrum.Publish(0, a.OutputSpectrum.get(), kBlockSamples);
}

void PaceRepaint(BlockPipeline& p) {
  MasterChain& chain = p.master;
  if (chain.DisplayRefreshOn.load(kRelaxed) == 0) return;
  if (++chain.RepaintCounter < kBlocksPerRepaint) return;
  chain.RepaintCounter = 0;
  p.window.RequestRepaint();
}

}  // namespace

void RenderBlock(BlockPipeline& p) {
  const uint32_t next = WriteNextBuffer(p.ring);
  const uint32_t b = (next + kRingBuffers - 1) % kRingBuffers;
  int16_t* block = p.ring.Block(b);
  const int16_t* previous = p.ring.Block((b + kRingBuffers - 1) % kRingBuffers);
  MasterChain& chain = p.master;
  const SynthParams& params = p.synth.params;

  if (chain.HowlingOn.load(kRelaxed) != 0)
    FeedBackHowling(block, previous, params.Howling.load(kRelaxed));
  else
    std::fill_n(block, kBlockSamples, int16_t{0});

  // The voices read the clock's counter inline, and a live clock's counter
  // moves only when the clock is read: read it once, so that no voice of
  // this block sees a time older than the block.
  p.clock.Milliseconds();
  const RenderInputs inputs{p.synth, p.clock, p.renderState};
  const RingBuffers ring{p.areas.RingScratchA.get(), p.areas.RingScratchB.get(), p.areas.RingProduct.get()};
  for (VoiceSlot& slot : p.synth.voices) ProcessVoice(block, slot, inputs, ring);

  if (chain.DistortionOn.load(kRelaxed) != 0) ClipBlock(block, params.Distortion.load(kRelaxed));
  if (chain.LPFResoOn.load(kRelaxed) != 0)
    MasterLowPass(block, chain, params.LPFResoCut.load(kRelaxed), params.LPFResoAmp.load(kRelaxed));
  RunSpectralStages(p, block);
  p.areas.Display->scope.Publish(b * kBlockSamples, block, kBlockSamples);
  PaceRepaint(p);
}

void ClearVoiceTable(VoiceTable& voices) {
  for (VoiceSlot& slot : voices) KillVoice(slot);
}

}  // namespace tavolin
