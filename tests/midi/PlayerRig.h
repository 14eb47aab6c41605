#pragma once
// A player on its own: synth, ring with a virtual device, virtual clock,
// sequencer lock, and a reporter that records. No threads.

#include <memory>
#include <mutex>

#include "RecordingReporter.h"
#include "host/RingPosition.h"
#include "midi/player/Player.h"
#include "platform/Clock.h"
#include "platform/WaveOut.h"
#include "synth/NoteFreqTable.h"
#include "synth/VoiceHandOff.h"

namespace tavolin::test {

struct PlayerRig {
  PlayerRig() {
    BuildNoteFreqTable(synth.noteFreq);
    ring.WaveData.reset(new int16_t[kRingSamples]());
    SetUpHeaders(ring);
    for (WaveHeader& h : ring.WaveHeaders) device.Prepare(h);
    ring.device = &device;
    WriteAllBuffers(ring);  // the device plays and counts its position only what is queued
    player.reporter = &reporter;
  }
  ~PlayerRig() { device.Reset(); }

  int ActiveVoices() {
    int n = 0;
    for (const VoiceSlot& s : synth.voices) n += IsActive(s) ? 1 : 0;
    return n;
  }

  Synth synth;
  MessageQueue queue;
  VirtualWaveOut device{queue};
  WaveRing ring;
  VirtualClock clock;
  std::recursive_mutex lock;
  RecordingReporter reporter;
  RingPosition position{ring};
  Player player{synth, position, clock, lock};
};

}  // namespace tavolin::test
