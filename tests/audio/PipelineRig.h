#pragma once
// A complete block pipeline in virtual time, for tests and benchmarks: a
// ring on a virtual device that never plays, the engine state, allocated
// work areas and a window that counts repaint requests.

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/RenderBlock.h"
#include "audio/WaveRing.h"
#include "platform/MessageQueue.h"
#include "platform/WaveOut.h"
#include "platform/WindowPort.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

class CountingWindow final : public WindowPort {
 public:
  void RequestRepaint() override { repaints.fetch_add(1, std::memory_order_relaxed); }
  void ShowError(std::string_view, std::string_view) override {}
  std::atomic<int> repaints{0};
};

struct PipelineRig {
  explicit PipelineRig(const Clock* externalClock = nullptr) : clock(externalClock ? *externalClock : virtualClock) {
    ring.WaveData = std::make_unique<int16_t[]>(kRingSamples);
    ring.device = &device;
    SetUpHeaders(ring);
    FftInit(areas.fft, kFftSize);
    AllocateWorkAreas(areas);
    BuildNoteFreqTable(synth.noteFreq);
  }

  // The block the last RenderBlock call wrote.
  int16_t* LastBlock() { return ring.Block((ring.RingIndex.load() + kRingBuffers - 1) % kRingBuffers); }

  // A held voice with everything else at note-start values.
  int Start(double freq, int32_t mode, int32_t startOffset = 0, double amp = 12288.0, int32_t channel = LiveChannel,
            double life = 0.25) {
    NoteStart n;
    n.startOffset = startOffset;
    n.freq = freq;
    n.amp = amp;
    n.life = life;
    n.sweepRate = 0.5;
    n.mode = mode;
    n.channel = channel;
    n.resetPhase2 = true;
    return StartVoice(synth.voices, n);
  }

  MessageQueue notify;
  VirtualWaveOut device{notify};
  WaveRing ring;
  Synth synth;
  MasterChain master;
  WorkAreas areas;
  VirtualClock virtualClock;
  const Clock& clock;
  CountingWindow window;
  VoiceRenderState renderState;
  ModulatorHandOff modulator;
  BlockFace face{ring, window};
  BlockPipeline pipeline{synth, master, areas, clock, renderState, modulator, &face};
};

}  // namespace tavolin
