#pragma once
// The whole picture of the main window, drawn from the engine's shared state:
// oscilloscope, spectra, bend bars, voices, note preview, player and input
// state, channel table, parameter rows and CPU load. Reads the other threads' state without locks (a picture
// may mix values from before and after a change); the song is held through
// the player's snapshot, so a list being replaced is never read after it is freed.

#include <QFont>
#include <QPainter>
#include <QRegion>
#include <array>
#include <functional>

#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "midi/player/Player.h"
#include "params/ParamTable.h"
#include "platform/Clock.h"
#include "platform/ThreadTimes.h"
#include "synth/Synth.h"
#include "ui/CpuLoad.h"
#include "ui/NotePreview.h"
#include "ui/StatusFrame.h"

namespace tavolin {

constexpr int kStatusWidth = 1140;
constexpr int kStatusHeight = 708;

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
  StatusFrame shown;  // the picture the window shows
  StatusFrame next;   // the one before it while a new one is taken, kept for its memory
};

// Takes a new picture of the display and returns the part of the window
// where it differs from the one shown before (everything, the first time).
QRegion RefreshStatus(const StatusSources& sources, StatusState& state, const LiveInputs& live);

// Paints `area` of the picture last taken, background and all.
void PaintShownStatus(QPainter& painter, const StatusState& state, const QRegion& area);

// Takes a new picture and paints all of it (images for tests and benchmarks).
void PaintStatus(QPainter& painter, const StatusSources& sources, StatusState& state, const LiveInputs& live);

}  // namespace tavolin
