#pragma once
// Start-up and shut-down of the engine, in their fixed order. The main window
// exists before start-up and is closed before shut-down (app/main.cpp).

#include <functional>

#include "host/App.h"
#include "host/AudioChoice.h"
#include "platform/WaveOut.h"

namespace tavolin {

struct StartUpOptions {
  WaveOutChoice device;
  // When set, opens the output device instead (tests, the offline renderer).
  std::function<WaveOutOpenResult(const WaveFormat&, MessageQueue&)> openDevice;
  // False in virtual time: neither worker thread is started, and the caller
  // does their work itself between its steps of the clock (RunDuePasses,
  // HandlePendingAudioMessages).
  bool startWorkers = true;
  OutputPath path = OutputPath::Ring;
};

enum class StartUpResult { Running, DeviceOpenFailed, PrepareFailed, OutOfMemory };

// Threads, device, work areas, voice table, note frequencies, eight silent
// buffers queued (on the pull path: the device pulls from the pipeline). On failure the user has been told and
// everything started has been taken down again; the program then ends with exit code 1.
StartUpResult StartUp(App& app, const StartUpOptions& options = {});

enum class ShutDownResult { Clean, WorkerStuck };

// Finishes a running recording, stops both threads (up to 5000 ms each),
// takes every buffer back from the device, releases headers and memory,
// closes the device. WorkerStuck: a thread did not end; the user has been
// told, memory it may still touch was not freed, and the process must end
// without running destructors.
ShutDownResult ShutDown(App& app);

}  // namespace tavolin
