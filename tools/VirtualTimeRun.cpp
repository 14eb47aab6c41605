#include "tools/VirtualTimeRun.h"

#include "host/Workers.h"
#include "midi/player/Sequencer.h"

namespace tavolin {

VirtualTimeRun::VirtualTimeRun(App& app, VirtualWaveOut& device, VirtualClock& clock, LiveMessageFeed& live,
                               bool exactPositions)
    : app_(app),
      device_(device),
      clock_(clock),
      live_(live),
      exact_(exactPositions),
      placedInput_(app.synth, messageAt_),
      pipeline_(AudioPipeline(app)) {
  pipeline_.spectrumShown = false;  // no window
  placedInput_.SetNumbering(app.midiIn.Numbering());
}

void VirtualTimeRun::Period(int16_t* out) {
  const uint32_t target = VirtualMilliseconds(played_);
  for (uint32_t ms = started_ ? clockMs_ + 1 : 0; ms <= target; ++ms) {
    clock_.Set(ms);
    RunDuePasses(app_.player);
    if (!exact_) live_.PlayDue(ms, app_.midiIn);
  }
  if (exact_) live_.PlayBefore(played_ + kBlockSamples, placedInput_, messageAt_);
  started_ = true;
  clockMs_ = target;
  device_.Advance(kBlockSamples, out);
  played_ += kBlockSamples;
  HandlePendingAudioMessages(app_, pipeline_);
}

}  // namespace tavolin
