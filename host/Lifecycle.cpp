#include "host/Lifecycle.h"

#include <chrono>
#include <cstdio>
#include <new>

#include "audio/RenderBlock.h"
#include "host/AudioChoice.h"
#include "host/Workers.h"
#include "platform/ThreadPriority.h"
#include "synth/NoteFreqTable.h"

namespace tavolin {

namespace {

constexpr auto kThreadExitLimit = std::chrono::milliseconds(5000);
// What the pull path asks a sound system for at a time where it may choose
// (ALSA, PulseAudio; JACK keeps its own period): 5.8 ms.
constexpr uint32_t kPullPeriod = 256;

void StartWorkers(App& app) {
  // Named as the status display labels them.
  app.sequencerThread.Start("MIDI", [&app] { ProcessMidi(app); });
  app.audioThread.Start("WFill", [&app] { waveOutFiller(app); });
  RaiseToRealtimePriority(app.sequencerThread.Native());
  RaiseToRealtimePriority(app.audioThread.Native());
}

// Sets the stop flag, wakes both threads (the audio thread sleeps in its
// message wait, the sequencer until it is woken or its next event is due)
// and waits for them. False when one of them did not end in time; the user
// has been told.
bool StopWorkers(App& app) {
  app.stopFlag.store(1, std::memory_order_release);
  app.audioQueue.Post(Message{MessageId::Null, 0, 0});
  WakeSequencer(app.player);
  bool ended = true;
  if (!app.sequencerThread.JoinFor(kThreadExitLimit)) {
    app.window.ShowError("ProcessMidi Thread didn't quit in 5sec.", "Error, through.");
    ended = false;
  }
  if (!app.audioThread.JoinFor(kThreadExitLimit)) {
    app.window.ShowError("waveOutFiller Thread didn't quit in 5sec.", "Error, through.");
    ended = false;
  }
  return ended;
}

// Gives every buffer back before its header and memory go: the device may
// still hold all eight.
void ReleaseOutput(App& app) {
  app.ring.outputs = nullptr;
  app.outputs.Release(app.ring);
  app.pull.reset();  // no device pulls any more
  FreeWorkAreas(app.work);
  app.ring.WaveData.reset();
}

OutputDevices::Opener Reopener(App& app, const StartUpOptions& options, WaveOutKind opened) {
  if (options.openDevice) return [&app, open = options.openDevice] { return open(app.format, app.audioQueue); };
  return
      [&app, again = ChoiceToReopen(options.device, opened)] { return OpenWaveOut(again, app.format, app.audioQueue); };
}

StartUpResult Abandon(App& app, StartUpResult why) {
  if (StopWorkers(app)) ReleaseOutput(app);
  return why;
}

}  // namespace

StartUpResult StartUp(App& app, const StartUpOptions& given) {
  StartUpOptions options = given;
  if (options.path == OutputPath::Pull) options.device.period = kPullPeriod;
  if (options.startWorkers) StartWorkers(app);

  WaveOutOpenResult opened = options.openDevice ? options.openDevice(app.format, app.audioQueue)
                                                : OpenWaveOut(options.device, app.format, app.audioQueue);
  if (!opened.device) {
    if (!opened.error.empty()) std::fprintf(stderr, "tavolin: audio output: %s\n", opened.error.c_str());
    app.window.ShowError("waveOutOpen were returned error.", "Error");
    return Abandon(app, StartUpResult::DeviceOpenFailed);
  }
  const WaveOutKind kind = opened.device->Kind();
  app.outputs.Adopt(std::move(opened.device), Reopener(app, options, kind));

  const bool tables = FftInit(app.work.fft, kFftSize);
  app.ring.WaveData.reset(new (std::nothrow) int16_t[kRingSamples]());  // zeroed: the first eight buffers are silence
  if (!tables || !app.ring.WaveData || !AllocateWorkAreas(app.work)) {
    app.window.ShowError("Not enough memory for the audio work areas.", "Error");
    return Abandon(app, StartUpResult::OutOfMemory);
  }

  SetUpHeaders(app.ring);
  const bool pulled = options.path == OutputPath::Pull;
  // On the pull path the headers stay unprepared, so that a write (after a
  // song load, say) is refused and nothing waits in the device's queue.
  for (WaveHeader& h : app.ring.WaveHeaders) {
    if (!pulled && !app.outputs.Current()->Prepare(h)) {
      app.window.ShowError("waveOutPrepareHeader were returned error.", "Error");
      return Abandon(app, StartUpResult::PrepareFailed);
    }
  }

  ClearVoiceTable(app.synth.voices);
  BuildNoteFreqTable(app.synth.noteFreq);

  app.ring.device = app.outputs.Current();
  app.ring.outputs = &app.outputs;
  if (pulled) {
    app.pull = std::make_unique<PullPath>(AudioPipeline(app), &app.blockTimings);
    app.outputs.PlayFrom(app.pull.get());
  } else {
    for (uint32_t i = 0; i < kRingBuffers; ++i) WriteNextBuffer(app.ring);
  }
  return StartUpResult::Running;
}

ShutDownResult ShutDown(App& app) {
  // First, so that no MIDI message starts a voice while the rest is torn down.
  app.midiInPort.Close();
  // A recording still running is finished, so that its file is valid, even
  // when a worker then fails to end.
  app.recorder.Stop();
  if (!StopWorkers(app)) return ShutDownResult::WorkerStuck;
  CloseMidiFile(app.player);
  app.modulator.Free();
  ReleaseOutput(app);
  return ShutDownResult::Clean;
}

}  // namespace tavolin
