#include "host/Workers.h"

#include "audio/RenderBlock.h"
#include "midi/player/Sequencer.h"

namespace tavolin {

BlockPipeline AudioPipeline(App& app) {
  return {app.synth, app.master, app.work, app.clock, app.renderState, app.modulator, &app.face};
}

bool HandleAudioMessage(App& app, BlockPipeline& pipeline, const Message& message) {
  // Notifications that arrive after the stop flag are not handled.
  if (app.stopFlag.load(std::memory_order_acquire) != 0) return false;
  if (message.id != MessageId::WaveOutDone) return true;  // a wake-up, nothing to do
  auto& header = *reinterpret_cast<WaveHeader*>(message.lParam);
  if (TakeCompletion(app.ring, header)) {
    std::chrono::nanoseconds took{0};
    {
      const RenderTimer timed(took);
      RenderBlock(pipeline);
    }
    app.blockTimings.Record(took);
  }
  return true;
}

void waveOutFiller(App& app) {
  BlockPipeline pipeline = AudioPipeline(app);
  while (HandleAudioMessage(app, pipeline, app.audioQueue.Get())) {
  }
}

void HandlePendingAudioMessages(App& app, BlockPipeline& pipeline) {
  while (const std::optional<Message> message = app.audioQueue.Peek()) {
    if (!HandleAudioMessage(app, pipeline, *message)) return;
  }
}

void ProcessMidi(App& app) {
  Player& player = app.player;
  while (app.stopFlag.load(std::memory_order_acquire) == 0) {
    std::unique_lock held(app.sequencerLock);
    SequencerPass(player, held, app.stopFlag);
  }
}

}  // namespace tavolin
