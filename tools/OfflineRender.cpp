#include "tools/OfflineRender.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "host/EngineSettings.h"
#include "host/Lifecycle.h"
#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "platform/ErrorText.h"
#include "platform/WaveFileWriter.h"
#include "synth/VoiceHandOff.h"
#include "tools/LiveMessageFeed.h"
#include "tools/RenderOutput.h"
#include "tools/VirtualTimeRun.h"

namespace tavolin {

namespace {

// Said when the song (not the disk) would outgrow the file.
void ReportTooLong(const RenderSettings& settings) {
  std::fprintf(stderr,
               "tavolin-render: %s: the song is longer than a WAVE file holds (4 GiB, 13.5 hours); "
               "--seconds S renders its first S seconds\n",
               settings.songPath.c_str());
}

// The song (or the live messages) has run out and no voice will end any more
// by itself: every slot is free or holds a note whose note-off never came.
bool Finished(App& app, const LiveMessageFeed& live) {
  if (app.player.cursor.load(std::memory_order_relaxed) != kNoCursor || !live.Done()) return false;
  for (const VoiceSlot& slot : app.synth.voices) {
    if (IsActive(slot) && slot.gate.load(std::memory_order_relaxed) == 0) return false;
  }
  return true;
}

class ProgressBar {
 public:
  ProgressBar(bool enabled, uint64_t totalSamples) : enabled_(enabled), total_(std::max<uint64_t>(totalSamples, 1)) {}
  void Show(uint64_t samples) {
    if (!enabled_ || ++calls_ % 64 != 0) return;
    const double share = std::min(1.0, static_cast<double>(samples) / static_cast<double>(total_));
    const int filled = static_cast<int>(share * 40);
    std::fprintf(stderr, "\r[%-40.*s] %3d%% %7.1f s", filled, "########################################",
                 static_cast<int>(share * 100), static_cast<double>(samples) / kSampleRate);
  }
  void Done() {
    if (enabled_) std::fprintf(stderr, "\r%70s\r", "");
  }

 private:
  bool enabled_;
  uint64_t total_;
  uint64_t calls_ = 0;
};

uint64_t ExpectedSamples(App& app, const RenderSettings& settings, const LiveMessageFeed& live) {
  if (settings.seconds) return static_cast<uint64_t>(std::llround(*settings.seconds * kSampleRate));
  const SongView view = ViewSong(app.player);
  const uint64_t songMs = (view.song && !view.song->empty()) ? view.song->back().time : live.EndTime();
  return songMs * kSampleRate / 1000 + 2 * kRingSamples;
}

// False (said on stderr) when the song alone would outgrow a WAVE file.
bool FitsInWaveFile(App& app, const RenderSettings& settings, const LiveMessageFeed& live) {
  if (settings.seconds || ExpectedSamples(app, settings, live) * 2 <= kWaveDataLimit) return true;
  ReportTooLong(settings);
  return false;
}

// The output, staged beside its destination. False when it cannot be (said on stderr).
bool OpenOutput(RenderOutput& output, WaveFileWriter& writer, const std::string& path, const WaveFormat& format) {
  if (const std::string why = output.Stage(path); !why.empty()) {
    ReportCantWrite(path, why);
    return false;
  }
  if (!writer.Open(output.WritePath(), format)) {
    ReportCantWrite(path, ErrorText(writer.SystemError()));
    return false;
  }
  return true;
}

bool RenderInto(App& app, VirtualWaveOut& device, VirtualClock& clock, LiveMessageFeed& live,
                const RenderSettings& settings, WaveFileWriter& writer, bool showProgress) {
  const bool limited = settings.seconds.has_value();
  const uint64_t limit = limited ? ExpectedSamples(app, settings, live) : 0;
  ProgressBar progress(showProgress, ExpectedSamples(app, settings, live));
  VirtualTimeRun run(app, device, clock, live, settings.exactPositions);
  std::vector<int16_t> block(kBlockSamples);
  // After the song is over, the ring still holds the blocks already rendered.
  int flushPeriods = -1;
  uint64_t written = 0;
  for (;;) {
    run.Period(block.data());
    uint32_t count = kBlockSamples;
    if (limited) count = static_cast<uint32_t>(std::min<uint64_t>(count, limit - written));
    if (!writer.Append(block.data(), count)) {
      if (writer.Error() == WaveWriteError::SizeLimit) {
        ReportTooLong(settings);
      } else {
        ReportCantWrite(settings.outPath, ErrorText(writer.SystemError()));
      }
      return false;
    }
    written += count;
    progress.Show(written);
    if (limited) {
      if (written >= limit) break;
    } else if (flushPeriods < 0) {
      if (Finished(app, live)) flushPeriods = kRingBuffers;
    } else if (--flushPeriods == 0) {
      break;
    }
  }
  progress.Done();
  return true;
}

}  // namespace

RenderResult RenderSongToWave(const RenderSettings& settings, StderrSongReporter& reporter, WindowPort& window,
                              bool showProgress) {
  VirtualClock clock;
  auto app = std::make_unique<App>(window, clock);
  ApplyEngineSettings(*app, settings.engine);
  app->midiIn.SetNumbering(settings.numbering);
  app->player.reporter = &reporter;
  VirtualWaveOut* device = nullptr;
  StartUpOptions options;
  options.startWorkers = false;
  options.openDevice = [&device](const WaveFormat&, MessageQueue& queue) {
    auto opened = std::make_unique<VirtualWaveOut>(queue);
    device = opened.get();
    return WaveOutOpenResult{std::move(opened), {}};
  };
  if (StartUp(*app, options) != StartUpResult::Running) return {};

  RenderResult result;
  // A file without events plays as silence; a refused one has been reported.
  LiveMessageFeed live({});
  if (settings.liveInput) {
    live = LiveMessageFeed::FromFile(settings.songPath, reporter);
  } else {
    LoadMidiFile(app->player, settings.songPath);
  }
  bool ok = reporter.Errors() == 0 && InstallEngineVocoder(*app, settings.engine, "tavolin-render") &&
            FitsInWaveFile(*app, settings, live);
  // Written under a temporary name, so that a failure leaves the destination as it was.
  RenderOutput output;
  WaveFileWriter writer;
  ok = ok && OpenOutput(output, writer, settings.outPath, app->format);
  if (ok) {
    StartPlayback(app->player);
    app->modulator.Start();  // with the song; nothing happens without a modulator
    ok = RenderInto(*app, *device, clock, live, settings, writer, showProgress);
  }
  ShutDown(*app);  // no worker thread to get stuck: none was started
  if (ok && !writer.Finish()) {
    ReportCantWrite(settings.outPath, ErrorText(writer.SystemError()));
    ok = false;
  }
  if (ok) {
    if (const std::string why = output.Commit(); !why.empty()) {
      ReportCantWrite(settings.outPath, why);
      ok = false;
    }
  }
  result.ok = ok;
  result.samples = writer.DataBytes() / 2;
  return result;
}

}  // namespace tavolin
