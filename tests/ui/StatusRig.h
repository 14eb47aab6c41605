#pragma once
// Everything the status display reads, in virtual time, for tests and
// benchmarks: the engine state, a zeroed ring and allocated work areas, a
// player and the parameter editor.

#include <cstdint>
#include <mutex>

#include "audio/MasterChain.h"
#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "host/RingPosition.h"
#include "midi/player/Player.h"
#include "platform/Clock.h"
#include "synth/NoteFreqTable.h"
#include "synth/Synth.h"
#include "ui/StatusDisplay.h"

namespace tavolin {

struct StatusRig {
  explicit StatusRig(uint32_t startMs) : clock(startMs) {
    ring.WaveData.reset(new int16_t[kRingSamples]());
    AllocateWorkAreas(work);
    BuildNoteFreqTable(synth.noteFreq);
  }
  ~StatusRig() { FreeWorkAreas(work); }
  StatusRig(const StatusRig&) = delete;
  StatusRig& operator=(const StatusRig&) = delete;

  Synth synth;
  MasterChain master;
  WaveRing ring;
  WorkAreas work;
  VirtualClock clock;
  std::recursive_mutex lock;
  RingPosition position{ring};
  Player player{synth, position, clock, lock};
  ParamEditor editor{synth, master};
  StatusState state;
};

}  // namespace tavolin
