#include "app/Workers.h"

#include "audio/RenderBlock.h"
#include "midi/player/Sequencer.h"

namespace tavolin {

void waveOutFiller(App& app) {
  BlockPipeline pipeline{app.ring, app.synth, app.master, app.work, app.clock, app.window, app.renderState, app.modulator};
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
  Player& player = app.player;
  while (app.stopFlag.load(std::memory_order_acquire) == 0) {
    std::unique_lock held(app.sequencerLock);
    if (player.drivenByCaller) {
      SleepUntilWoken(player, held, app.stopFlag);  // the caller runs the passes
    } else {
      SequencerPass(player, held, app.stopFlag);
    }
  }
}

}  // namespace tavolin
