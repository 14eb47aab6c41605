#include "audio/RenderBlock.h"

#include <algorithm>

#include "audio/WaveRing.h"
#include "platform/WindowPort.h"
#include "spectral/SpectralStages.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int32_t kBlocksPerRepaint = 8;
constexpr SampleRange kWholeBlock{0, kBlockSamples};

SpectralSettings ReadSpectralSettings(const BlockPipeline& p) {
  const MasterChain& chain = p.master;
  const SynthParams& params = p.synth.params;
  return {chain.LPFOn.load(kRelaxed) != 0, params.LPFFact.load(kRelaxed), chain.HPFOn.load(kRelaxed) != 0,
          params.HPFFact.load(kRelaxed)};
}

// Runs on every block whatever the switches: the output spectrum always
// shows the block as it leaves the chain.
void RunSpectralStages(BlockPipeline& p, int16_t* block, const SpectralSettings& settings, const int16_t* frame) {
  WorkAreas& a = p.areas;
  const SpectralAreas areas{a.BlockComplex.get(), a.ModulatorComplex.get(),
                            p.spectrumShown ? a.OutputSpectrum.get() : nullptr, a.ModulatorSpectrum.get()};
  SpectralStages(a.fft, block, settings, frame, areas);
  if (frame != nullptr) {
    p.modulator.AdvanceFrame();
    if (p.face != nullptr) a.Display->modulatorSpectrum.Publish(0, a.ModulatorSpectrum.get(), kBlockSamples);
  }
  if (p.spectrumShown) a.Display->outputSpectrum.Publish(0, a.OutputSpectrum.get(), kBlockSamples);
}

void PaceRepaint(BlockPipeline& p) {
  MasterChain& chain = p.master;
  if (p.face == nullptr) return;
  if (chain.DisplayRefreshOn.load(kRelaxed) == 0) return;
  if (++chain.RepaintCounter < kBlocksPerRepaint) return;
  chain.RepaintCounter = 0;
  p.face->window.RequestRepaint();
}

// Howling feedback or silence: what the voices are added to.
void StartSamples(BlockPipeline& p, int16_t* block, const int16_t* previous, SampleRange range) {
  if (p.master.HowlingOn.load(kRelaxed) != 0)
    FeedBackHowling(block, previous, p.synth.params.Howling.load(kRelaxed), range);
  else
    std::fill(block + range.from, block + range.to, int16_t{0});
  // The voices read the clock's counter inline, and a live clock's counter
  // moves only when the clock is read: read it once, so that no voice of
  // this block sees a time older than the block.
  p.clock.Milliseconds();
}

void ClipAndFilter(BlockPipeline& p, int16_t* block, SampleRange range) {
  MasterChain& chain = p.master;
  const SynthParams& params = p.synth.params;
  if (chain.DistortionOn.load(kRelaxed) != 0) ClipBlock(block, params.Distortion.load(kRelaxed), range);
  if (chain.LPFResoOn.load(kRelaxed) != 0)
    MasterLowPass(block, chain, params.LPFResoCut.load(kRelaxed), params.LPFResoAmp.load(kRelaxed), range);
}

bool AnyNoiseVoice(const Synth& synth) {
  return std::any_of(std::begin(synth.voices), std::end(synth.voices),
                     [](const VoiceSlot& slot) { return IsActive(slot) && DrawsNoise(slot.mode.load(kRelaxed)); });
}

}  // namespace

void RenderBlock(BlockPipeline& p) {
  WaveRing& ring = p.face->ring;
  const uint32_t next = WriteNextBuffer(ring);
  const uint32_t b = (next + kRingBuffers - 1) % kRingBuffers;
  int16_t* block = ring.Block(b);
  RenderWholeBlock(p, block, ring.Block((b + kRingBuffers - 1) % kRingBuffers), p.modulator.FrameForThisBlock());
  PublishBlock(p, block, b);
}

BlockRendering HowToRender(BlockPipeline& p, const int16_t* frame) {
  const EngineSwitches& sw = p.synth.switches;
  if (sw.RingOn.load(kRelaxed) != 0 || sw.DetuneOn.load(kRelaxed) != 0 || AnyNoiseVoice(p.synth))
    return BlockRendering::WholeVoices;
  const SpectralSettings spectral = ReadSpectralSettings(p);
  if (spectral.lowPass || spectral.highPass || frame != nullptr) return BlockRendering::PiecesThenTransform;
  return BlockRendering::Pieces;
}

void RenderWholeBlock(BlockPipeline& p, int16_t* block, const int16_t* previous, const int16_t* frame) {
  BeginWholeVoices(p, block, previous);
  RenderWholeVoices(p, block, 0, static_cast<uint32_t>(kVoiceCount));
  EndWholeVoices(p, block, frame);
}

void BeginWholeVoices(BlockPipeline& p, int16_t* block, const int16_t* previous) {
  StartSamples(p, block, previous, kWholeBlock);
}

void RenderWholeVoices(BlockPipeline& p, int16_t* block, uint32_t from, uint32_t to) {
  const RenderInputs inputs{p.synth, p.clock, p.renderState};
  const RingBuffers ring{p.areas.RingScratchA.get(), p.areas.RingScratchB.get(), p.areas.RingProduct.get()};
  for (uint32_t i = from; i < to; ++i) ProcessVoice(block, p.synth.voices[i], inputs, ring);
}

void EndWholeVoices(BlockPipeline& p, int16_t* block, const int16_t* frame) {
  ClipAndFilter(p, block, kWholeBlock);
  RestartRunawayLowPass(p.master);
  RunSpectralStages(p, block, ReadSpectralSettings(p), frame);
}

void RenderBlockPiece(BlockPipeline& p, int16_t* block, const int16_t* previous, SampleRange range,
                      PieceVoices& pieces) {
  StartSamples(p, block, previous, range);
  const RenderInputs inputs{p.synth, p.clock, p.renderState};
  for (int i = 0; i < kVoiceCount; ++i)
    ProcessVoicePiece(block, range.from, range.to, p.synth.voices[i], inputs, pieces[i]);
  ClipAndFilter(p, block, range);
}

void EndPieces(BlockPipeline& p, int16_t* block, PieceVoices& pieces, PiecesWere were, const int16_t* frame) {
  RestartRunawayLowPass(p.master);
  // A block already handed out: only its spectrum is taken, with every
  // stage off (one switched on meanwhile waits for the next block).
  if (were == PiecesWere::HandedOut)
    RunSpectralStages(p, block, SpectralSettings{}, nullptr);
  else
    RunSpectralStages(p, block, ReadSpectralSettings(p), frame);
  for (int i = 0; i < kVoiceCount; ++i) EndVoicePieces(p.synth.voices[i], pieces[i]);
}

void PublishBlock(BlockPipeline& p, const int16_t* block, uint32_t index) {
  if (p.face == nullptr) return;
  p.areas.Display->scope.Publish(index * kBlockSamples, block, kBlockSamples);
  PaceRepaint(p);
}

}  // namespace tavolin
