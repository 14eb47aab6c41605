// One full paint of the status display into the off-screen image, with every
// voice sounding and a song playing: the window thread's cost per repaint;
// also with a hostile song of a million notes that all overlap. And a
// refresh at rest, which repaints only what changed.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <mutex>

#include "audio/WorkAreas.h"
#include "bench/GeneratedSongs.h"
#include "midi/player/Sequencer.h"
#include "synth/VoiceHandOff.h"
#include "tests/ui/StatusRig.h"
#include "ui/StatusDisplay.h"

namespace tavolin {
namespace {

// Text and images need a GUI application; the benchmark runs without a display.
void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tavolin-bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

// A minute of four-note chords on all 16 channels, every 250 ms.
EventList BusySong() {
  EventList events;
  for (uint32_t t = 0; t < 60000; t += 250) {
    for (uint32_t c = 0; c < 16; ++c) {
      events.push_back({NoteOn, t, c, 36 + (t / 250 + c * 5) % 72, 90, 0});
    }
    for (uint32_t c = 0; c < 16; ++c) {
      events.push_back({NoteOff, t + 240, c, 36 + (t / 250 + c * 5) % 72, 0, 0});
    }
  }
  return events;
}

struct PaintRig : StatusRig {
  // `song` plays, twenty seconds in, with `cursor` as the next event.
  PaintRig(EventList song, size_t cursor) : StatusRig(100000) {
    for (uint32_t i = 0; i < kRingSamples; ++i) {
      const auto sample = static_cast<int16_t>(20000.0 * std::sin(i * 0.031));
      work.Display->scope.Publish(i, &sample, 1);
    }
    for (uint32_t i = 0; i < 1024; ++i) {
      const double output = 0.0004 * (1.0 + std::sin(i * 0.1));
      const double modulator = 0.0003 * (1.0 + std::cos(i * 0.07));
      work.Display->outputSpectrum.Publish(i, &output, 1);
      work.Display->modulatorSpectrum.Publish(i, &modulator, 1);
    }
    for (int v = 0; v < kVoiceCount; ++v) {
      NoteStart n;
      n.freq = synth.noteFreq[static_cast<size_t>(20 + v % 80)];
      n.amp = 12288.0;
      n.life = 0.25;
      StartVoice(synth.voices, n);
    }
    synth.PitchBend.store(0.7);
    synth.PitchShift.store(-0.3);
    InstallSong(player, std::move(song), "song.mid");
    StartPlayback(player);
    clock.Advance(20000);
    player.cursor.store(cursor);
  }
};

void FullStatusPaint(benchmark::State& benchState, PaintRig& rig) {
  const ThreadId me = CurrentThreadId();
  const StatusSources sources{
      rig.synth, rig.ring, rig.work, rig.clock, rig.editor, &rig.player, [me] { return me; }, [me] { return me; }, {}};
  LiveInputs live;
  live.shift = true;
  QImage image(1140, 708, QImage::Format_RGB32);
  for (auto _ : benchState) {
    image.fill(Qt::black);
    QPainter painter(&image);
    PaintStatus(painter, sources, rig.state, live);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
void BusySongPaint(benchmark::State& state) {
  EnsureGuiApplication();
  PaintRig rig(BusySong(), 20000 / 250 * 32);
  FullStatusPaint(state, rig);
}
BENCHMARK(BusySongPaint)->Name("FullStatusPaint")->Unit(benchmark::kMillisecond);

// Every note on, none off yet: the cursor is at the first note-off.
void HostileSongPaint(benchmark::State& state) {
  EnsureGuiApplication();
  constexpr uint32_t kNotes = 1000000;
  PaintRig rig(bench::Converted(bench::OverlappingNotesFile(kNotes)), kNotes);
  FullStatusPaint(state, rig);
}
BENCHMARK(HostileSongPaint)->Name("FullStatusPaint/hostile_song")->Unit(benchmark::kMillisecond);

// At rest (no voice, no song) a refresh takes a new picture and repaints
// what changed: the window thread's own CPU time line.
void RestingRefresh(benchmark::State& benchState) {
  EnsureGuiApplication();
  StatusRig rig(100000);
  const ThreadId me = CurrentThreadId();
  const StatusSources sources{
      rig.synth, rig.ring, rig.work, rig.clock, rig.editor, &rig.player, [me] { return me; }, [me] { return me; }, {}};
  QImage image(kStatusWidth, kStatusHeight, QImage::Format_RGB32);
  {
    QPainter painter(&image);
    PaintStatus(painter, sources, rig.state, {});
  }
  for (auto _ : benchState) {
    const QRegion changed = RefreshStatus(sources, rig.state, {});
    QPainter painter(&image);
    PaintShownStatus(painter, rig.state, changed);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(RestingRefresh)->Name("StatusRefresh/at_rest")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolin
