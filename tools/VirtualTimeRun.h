#pragma once
// Virtual time for the offline renderer: the clock, the sequencer and the
// device move on one device period of 1024 samples at a time, all on the
// caller's thread, which also does the audio thread's work (that thread is
// not started).
//
// Period k starts at sample 1024 k; before it plays, the millisecond clock
// steps one millisecond at a time up to trunc(1024 k x 1000 / 44100),
// running the sequencer's due passes at every step (so a chord's later
// notes, due one millisecond after the note that anchored the clock, come in
// the same period, as they would with the live millisecond clock). Then the device
// plays the period (its position moves on by 1024 and one buffer comes
// back) and the block pipeline refills that buffer before time moves again.
// A note dispatched during the steps before period k is thus rendered into
// the block queued at period k and heard from sample 1024 (k + 8).
//
// With --midi-in there is no song: at each step the file's messages due by
// then go to the live MIDI input instead, as a keyboard's would. With
// --exact-positions, a message at sample P = trunc(time x 44.1) goes in just
// before period trunc(P / 1024) plays, P modulo 1024 into its block, so a
// note is heard from sample P + 1024 x 8. The clock steps as without it: that
// block still renders at trunc(1024 k x 1000 / 44100) ms.

#include <cstdint>

#include "audio/RenderBlock.h"
#include "host/App.h"
#include "tools/LiveMessageFeed.h"

namespace tavolin {

class VirtualTimeRun {
 public:
  // `app` has been started up without its worker threads, on `device` and `clock`.
  VirtualTimeRun(App& app, VirtualWaveOut& device, VirtualClock& clock, LiveMessageFeed& live, bool exactPositions);

  // Plays one period into `out` (kBlockSamples samples).
  void Period(int16_t* out);

 private:
  App& app_;
  VirtualWaveOut& device_;
  VirtualClock& clock_;
  LiveMessageFeed& live_;
  bool exact_;
  // With exact positions the messages go in through an input of their own,
  // which reads each one's sample rather than the device's position.
  PlacedPosition messageAt_;
  MidiInProc placedInput_;
  BlockPipeline pipeline_;
  uint64_t played_ = 0;
  uint32_t clockMs_ = 0;
  bool started_ = false;
};

}  // namespace tavolin
