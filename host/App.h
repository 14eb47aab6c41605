#pragma once
// The whole program's state: one struct per subsystem, the two worker
// threads, the stop flag and the sequencer lock.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "audio/BlockTimings.h"
#include "audio/MasterChain.h"
#include "audio/OutputDevices.h"
#include "audio/PullPath.h"
#include "audio/Recorder.h"
#include "audio/RenderBlock.h"
#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "host/RingPosition.h"
#include "host/WorkerThread.h"
#include "midi/input/MidiInProc.h"
#include "midi/player/Player.h"
#include "platform/Clock.h"
#include "platform/MessageQueue.h"
#include "platform/MidiInPort.h"
#include "platform/WaveFormat.h"
#include "platform/WaveOut.h"
#include "platform/WindowPort.h"
#include "synth/ModulatorHandOff.h"
#include "synth/RenderVoice.h"
#include "synth/Synth.h"

namespace tavolin {

struct App {
  App(WindowPort& window, const Clock& clock) : window(window), clock(clock) {}

  WindowPort& window;
  const Clock& clock;

  Synth synth;
  MasterChain master;
  ModulatorHandOff modulator;    // the vocoder's modulator, from the window thread to the audio thread
  VoiceRenderState renderState;  // audio thread only
  WaveRing ring;
  BlockFace face{ring, window};  // the blocks queued, recorded and shown
  WorkAreas work;
  BlockTimings blockTimings;  // the audio thread records, the exit report reads
  WaveFormat format;
  Recorder recorder{ring, window, format};  // the window thread starts and stops it

  std::atomic<int32_t> stopFlag{0};
  std::recursive_mutex sequencerLock;                    // guards the song and its play cursor
  RingPosition position{ring};                           // the output's position, for the note sources
  Player player{synth, position, clock, sequencerLock};  // the song, playlist and sequencer clock
  MessageQueue audioQueue;                               // the output device notifies the audio thread here
  OutputDevices outputs{clock};                          // the ring's device, and those a restart replaced
  std::unique_ptr<PullPath> pull;                        // feeds the device instead of the ring, when chosen
  WorkerThread sequencerThread;                          // ProcessMidi
  WorkerThread audioThread;                              // waveOutFiller
  MidiInProc midiIn{synth, position};                    // runs on the MIDI thread
  MidiInPort midiInPort{&MidiInProc::Receive, &midiIn};  // the window thread opens and closes it
};

}  // namespace tavolin
