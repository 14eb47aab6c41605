#pragma once
// The engine as a plugin host drives it: MIDI messages come at sample
// positions, and any number of frames is asked for per call. What makes the
// output independent of how the host cuts the stream into calls is one
// rule: a message at input position P is applied before the block that
// holds P is rendered, with P modulo 1024 as a new voice's start offset, and
// a block is rendered once the input has reached its end. A note at P so
// sounds at output position P + kLatency, exactly where the ring's blocks
// put a note started at P, one block later.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/MasterChain.h"
#include "audio/RenderBlock.h"
#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "lv2/SampleFifo.h"
#include "midi/OutputPosition.h"
#include "midi/input/MidiInProc.h"
#include "platform/Clock.h"
#include "platform/WindowPort.h"
#include "synth/ModulatorHandOff.h"
#include "synth/RenderVoice.h"
#include "synth/Synth.h"

namespace tavolin {

class PluginEngine {
 public:
  // The output's delay behind the input, in samples.
  static constexpr uint32_t kLatency = kBlockSamples;

  // Allocates everything the calls below use; `maxFrames` is the most one
  // Advance and Output may be asked for. Ok() is false when memory ran out.
  explicit PluginEngine(uint32_t maxFrames);
  bool Ok() const { return ok_; }

  // [audio thread] Moves the input position on by `frames` (at most
  // maxFrames), rendering each block whose end it reaches.
  void Advance(uint32_t frames);
  // [audio thread] One MIDI message at the present input position.
  void Message(const uint8_t* bytes, size_t count) { midiIn_.OnMessage(bytes, count); }
  // [audio thread] The next `frames` samples of output, at most as many as
  // Advance moved on since the output last caught up with the input.
  void Output(float* out, uint32_t frames);

  // The engine's inputs, for the host's control ports.
  Synth& synth() { return synth_; }
  MasterChain& master() { return master_; }
  // Installed and started from any thread but the audio thread.
  ModulatorHandOff& modulator() { return modulator_; }
  // [audio thread] For the plugin's choice of note numbering.
  MidiInProc& midiIn() { return midiIn_; }

 private:
  // No window: nothing to repaint, and an error has nowhere to go.
  class NoWindow final : public WindowPort {
   public:
    void RequestRepaint() override {}
    void ShowError(std::string_view, std::string_view) override {}
  };

  void RenderNextBlock();

  Synth synth_;
  MasterChain master_;
  WorkAreas areas_;
  VirtualClock clock_;
  NoWindow window_;
  VoiceRenderState renderState_;
  ModulatorHandOff modulator_;
  WaveRing ring_;  // the pipeline's, never written: blocks go to the FIFO
  BlockPipeline pipeline_{ring_, synth_, master_, areas_, clock_, window_, renderState_, modulator_, false};
  // Samples of input the host has moved past: where a message is, from
  // which a voice takes its start offset.
  PlacedPosition input_;
  MidiInProc midiIn_{synth_, input_, ChannelModeMessages::Obeyed};
  std::unique_ptr<int16_t[]> blocks_;  // the block rendered last and the one before it
  uint32_t current_ = 0;
  uint64_t blocksRendered_ = 0;
  SampleFifo fifo_;  // rendered, not yet output
  bool ok_ = false;
};

}  // namespace tavolin
