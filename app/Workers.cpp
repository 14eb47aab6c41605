#include "app/Workers.h"

#include <chrono>
#include <thread>

#include "audio/RenderBlock.h"

namespace tavolin {

void waveOutFiller(App& app) {
  BlockPipeline pipeline{app.ring, app.synth, app.master, app.work, app.clock, app.window, app.renderState};
  for (;;) {
    const Message message = app.audioQueue.Get();
    // Notifications that arrive after the stop flag are not handled.
    if (app.stopFlag.load(std::memory_order_acquire) != 0) return;
    std::lock_guard lock(app.audioLock);
    if (message.id != MessageId::WaveOutDone) continue;  // a wake-up, nothing to do
    auto& header = *reinterpret_cast<WaveHeader*>(message.lParam);
    if (TakeCompletion(header)) RenderBlock(pipeline);
  }
}

void ProcessMidi(App& app) {
  // Nothing is playing until the MIDI file player has a song; its passes run
  // here under app.sequencerLock.
  while (app.stopFlag.load(std::memory_order_acquire) == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace tavolin
