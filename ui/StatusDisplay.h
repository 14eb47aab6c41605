#pragma once
// The whole picture of the main window, drawn from the engine's shared state
// into an image that has been filled black: oscilloscope, spectra, bend bars,
// voices, note preview, player and input state, channel table, parameter
// rows and CPU load. Reads the other threads' state without locks (a picture
// may mix values from before and after a change); the song is held through
// the player's snapshot, so a list being replaced is never read after it is freed.

#include <QFont>
#include <QPainter>
#include <array>
#include <functional>

#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "midi/player/Player.h"
#include "platform/Clock.h"
#include "platform/ThreadTimes.h"
#include "synth/Synth.h"
#include "ui/CpuLoad.h"
#include "ui/NotePreview.h"
#include "ui/ParamTable.h"

namespace tavolin {

// What the display shows. Optional parts may be absent.
struct StatusSources {
  Synth& synth;
  WaveRing& ring;
  WorkAreas& work;
  const Clock& clock;  // the millisecond counter and the tick count
  const ParamEditor& editor;
  Player* player = nullptr;
  std::function<ThreadId()> sequencerThread;  // ProcessMidi
  std::function<ThreadId()> audioThread;      // waveOutFiller
  std::function<bool()> midiInputOpen;        // "Watching" while true
};

// Live state of the modifiers and mouse buttons, read once as the paint begins.
struct LiveInputs {
  bool shift = false;
  bool ctrl = false;
  bool left = false;
  bool middle = false;
  bool right = false;
};

// What persists from one paint to the next (window thread only).
struct StatusState {
  QFont font = StatusFont();
  StatusTextCache texts;
  CpuLoad load;
  PreviewNotes preview;
};

void PaintStatus(QPainter& painter, const StatusSources& sources, StatusState& state, const LiveInputs& live);

}  // namespace tavolin
