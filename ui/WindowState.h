#pragma once
// What the main window works on once the engine runs: references to the
// engine's shared state and the window thread's own state (piano, parameter
// selection, mouse drag, display memory).

#include <functional>

#include "audio/MasterChain.h"
#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "params/ParamTable.h"
#include "platform/Clock.h"
#include "platform/ThreadTimes.h"
#include "synth/ModulatorHandOff.h"
#include "synth/Synth.h"
#include "ui/KeyCommands.h"
#include "ui/MouseBend.h"
#include "ui/StatusDisplay.h"

namespace tavolin {

struct EngineLinks {
  Synth& synth;
  MasterChain& master;
  WaveRing& ring;
  WorkAreas& work;
  ModulatorHandOff& modulator;
  const Clock& clock;
  std::function<ThreadId()> sequencerThread;  // 0 while it does not run
  std::function<ThreadId()> audioThread;
};

struct WindowState {
  explicit WindowState(const EngineLinks& links) : links(links), editor(links.synth, links.master) {}

  KeyContext Keys() { return KeyContext{links.synth, links.master, links.ring, editor, piano, hooks}; }
  StatusSources Sources(Player* player) const {
    return StatusSources{links.synth,           links.ring,        links.work,   links.clock, editor, player,
                         links.sequencerThread, links.audioThread, midiInputOpen};
  }

  EngineLinks links;
  ParamEditor editor;
  Piano piano;
  DragState drag;
  KeyHooks hooks;
  StatusState status;
  std::function<bool()> midiInputOpen;
};

}  // namespace tavolin
