#pragma once
// The engine as a plugin host drives it: MIDI messages come at sample
// positions, and any number of samples is asked for per call. It plays on
// the pull path, where what is rendered when depends on sample positions
// alone, so the output does not depend on how the host cuts its stream into
// calls. Positions count samples from where the block grid began (Restart):
// blocks begin at its multiples of 1024. Two timing rules:
// - Zero latency (the default): a message at position P is applied there. In
//   a block rendered in pieces a note sounds from P; where blocks must be
//   complete (a spectral stage, the vocoder, ring, detune or a noise voice)
//   they are rendered ahead and a note sounds from P + 1024, or in the cases
//   PullPath.h gives, from P + 2048.
// - Compensated: a message at P is applied as the block after the one that
//   holds P begins, a note with P modulo 1024 as its start offset, and no
//   block is rendered ahead, so a note sounds from P + 1024 in every mode:
//   where the ring puts a note started at P, one block later.
// The clock that vibrato and the timed sweep read stands at the start of the
// block being handed out, less the latency: the time of the input it plays.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/MasterChain.h"
#include "audio/PullPath.h"
#include "audio/RenderBlock.h"
#include "audio/WorkAreas.h"
#include "midi/OutputPosition.h"
#include "midi/input/MidiInProc.h"
#include "platform/Clock.h"
#include "platform/WaveFormat.h"
#include "synth/ModulatorHandOff.h"
#include "synth/RenderVoice.h"
#include "synth/Synth.h"

namespace tavolin {

class PluginEngine {
 public:
  // The output's delay behind the input under the compensated rule, in samples.
  static constexpr uint32_t kCompensatedLatency = kBlockSamples;

  // Allocates everything the calls below use; `maxFrames` is the most one
  // Play may be asked for. Ok() is false when memory ran out. It starts at
  // position 0 of its grid.
  explicit PluginEngine(uint32_t maxFrames);
  bool Ok() const { return ok_; }

  // [audio thread] Starts afresh at `position` of the grid: silent, no
  // voice, no pending message, the filters' state cleared, the vocoder's
  // file from its start; compensated, the rest of the block it starts in is
  // the latency's silence. Parameters, switches and tables are kept.
  void Restart(uint64_t position);
  // [audio thread] The next `frames` samples of output (at most maxFrames);
  // the position moves on as many.
  void Play(float* out, uint32_t frames);
  // [audio thread] One MIDI message at the present position.
  void Message(const uint8_t* bytes, size_t count);
  // [audio thread] The timing rule from the next message on; messages
  // already waiting for their block keep their place.
  void SetCompensated(bool on);
  uint32_t Latency() const { return compensated_ ? kCompensatedLatency : 0; }

  // The engine's inputs, for the host's control ports.
  Synth& synth() { return synth_; }
  MasterChain& master() { return master_; }
  // [audio thread] For the plugin's choice of note numbering.
  MidiInProc& midiIn() { return midiIn_; }
  // Installed and started from any thread but the audio thread.
  ModulatorHandOff& modulator() { return modulator_; }

 private:
  // A message waiting for its block under the compensated rule.
  struct Pending {
    uint64_t at;
    uint8_t bytes[3];
    uint8_t count;
  };
  static constexpr size_t kMostPending = 4096;

  void BlockBegins();
  void Apply(uint64_t at, const uint8_t* bytes, size_t count);

  Synth synth_;
  MasterChain master_;
  WorkAreas areas_;
  VirtualClock clock_;
  VoiceRenderState renderState_;
  ModulatorHandOff modulator_;
  // No face: the host takes the samples, and nothing shows them.
  BlockPipeline pipeline_{synth_, master_, areas_, clock_, renderState_, modulator_, nullptr, false};
  PullPath pull_{pipeline_};
  // Where a message is applied, from which a voice takes its start offset.
  PlacedPosition input_;
  MidiInProc midiIn_{synth_, input_, ChannelModeMessages::Obeyed};
  uint64_t position_ = 0;
  bool compensated_ = false;
  std::unique_ptr<Pending[]> pending_;
  size_t pendingCount_ = 0;
  std::unique_ptr<int16_t[]> samples_;  // one Play's, before they become floats
  uint32_t maxFrames_;
  bool ok_ = false;
};

}  // namespace tavolin
