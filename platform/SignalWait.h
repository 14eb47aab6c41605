#pragma once
// How a program without a window ends: SIGINT, SIGTERM, SIGHUP (unless
// ignored, as under nohup) and SIGQUIT are blocked in every thread and taken
// by the main thread when it asks, so that it can finish in order (a running
// recording is finished) instead of dying in the middle of a write.

#include <chrono>

namespace tavolin {

// Blocks those signals in the calling thread and in every thread it starts
// from now on: call it before any thread is started.
void BlockTerminationSignals();

// Waits up to `timeout` for one of them; its number, or 0 when none came.
int WaitForTerminationSignal(std::chrono::milliseconds timeout);

// After the first: lets them through to the calling thread, so that a
// second one ends the process at once by its default action, whatever an
// orderly end is still waiting for.
void LetTerminationSignalsThrough();

}  // namespace tavolin
