#pragma once
// The offline renderer: the program's own start-up, ring, block pipeline,
// converter and sequencer in virtual time, recording every sample the
// virtual device plays into a WAVE file.
//
// Virtual time moves one device period of 1024 samples at a time. Period k
// starts at sample 1024 k; before it plays, the millisecond clock steps one
// millisecond at a time up to trunc(1024 k x 1000 / 44100), running the
// sequencer's due passes at every step (so a chord's later notes, due one
// millisecond after the note that anchored the clock, come in the same
// period, as they would with a real 1 ms timer). Then the device plays the
// period (its position moves on by 1024 and one buffer comes back) and the
// audio thread renders the next block, which is finished before time moves
// again. A note dispatched during the steps before period k is thus rendered
// into the block queued at period k and heard from sample 1024 (k + 8).
//
// With --midi-in there is no song: at each step the file's messages due by
// then go to the live MIDI input instead, as a keyboard's would.

#include <cstdint>
#include <string>

#include "platform/WindowPort.h"
#include "tools/RenderOptions.h"
#include "tools/StderrReporters.h"

namespace tavolin {

struct RenderResult {
  bool ok = false;        // false: the reason has been reported
  uint64_t samples = 0;   // written to the file
};

// The millisecond counter's reading at `samples` samples of virtual time.
uint32_t VirtualMilliseconds(uint64_t samples);

// Loads, plays and records the song as the settings say. Messages go to stderr.
RenderResult RenderSongToWave(const RenderSettings& settings, StderrSongReporter& reporter, WindowPort& window,
                              bool showProgress);

}  // namespace tavolin
