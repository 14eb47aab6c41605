#pragma once
#include "audio/RenderBlock.h"
#include "host/App.h"
#include "platform/MessageQueue.h"

namespace tavolin {

// What the audio thread's blocks touch, built from the app.
BlockPipeline AudioPipeline(App& app);

// [audio thread] One message of the audio thread's queue: a buffer the
// device gave back is queued again and refilled. False once the stop flag
// is set (the message is then left unhandled).
bool HandleAudioMessage(App& app, BlockPipeline& pipeline, const Message& message);

// [audio thread] The audio thread: one block per buffer the device gives back.
void waveOutFiller(App& app);

// Virtual time, where the audio thread was not started: its caller stands in
// for it and handles every message queued so far, without waiting for more.
void HandlePendingAudioMessages(App& app, BlockPipeline& pipeline);

// The sequencer thread.
void ProcessMidi(App& app);

}  // namespace tavolin
