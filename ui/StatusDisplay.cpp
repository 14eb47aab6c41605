#include "ui/StatusDisplay.h"

#include <QPoint>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "audio/OutputDevices.h"
#include "synth/RenderNumerics.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
constexpr int kScopeWidth = 576;
constexpr int kSpectrumPoints = 512;
constexpr int kSpectrumLeft = 576;

// y of a sample on the 256-pixel scope: -32768 at the top.
int ScopeY(int16_t s) { return (s + 32768) / 256; }

// A spectrum point's y, kept in a range the painter handles; the image is
// far smaller, so what is visible does not change.
int SpectrumY(int base, double power) {
  return base + static_cast<int>(std::clamp<int64_t>(TruncToInt64(128000.0 * power), -100000, 100000));
}

// A rectangle outlined with the default (black) pen and filled with
// `brush`, from (x1, y1) up to, not including, (x2, y2), in either order.
void OutlinedRect(StatusFrame& f, int x1, int y1, int x2, int y2, QColor brush) {
  const int left = std::min(x1, x2), right = std::max(x1, x2);
  const int top = std::min(y1, y2), bottom = std::max(y1, y2);
  if (right - left < 1 || bottom - top < 1) return;
  f.Outline(QRect(left, top, right - left - 1, bottom - top - 1), Qt::black, brush);
}

void PaintScopeFrame(StatusFrame& f) { f.Outline(QRect(0, 0, 511, 255), Qt::white, Qt::black); }

void PaintScopeTrace(StatusFrame& f, const DisplayFeed& display) {
  const auto& ring = display.scope;
  std::array<QPoint, kScopeWidth + 1> trace;
  trace[0] = QPoint(0, ScopeY(ring[0]));
  for (int x = 0; x < kScopeWidth; ++x)
    trace[static_cast<size_t>(x) + 1] = QPoint(x, ScopeY(ring[(16 * x) % kRingSamples]));
  f.Polyline(trace, QColor(0, 255, 0));
}

void PaintSpectrum(StatusFrame& f, const DisplayTap<double, kBlockSamples>& spectrum, int base, QColor colour) {
  std::array<QPoint, kSpectrumPoints> line;
  for (int i = 0; i < kSpectrumPoints; ++i)
    line[static_cast<size_t>(i)] = QPoint(kSpectrumLeft + i, SpectrumY(base, spectrum[i]));
  f.Polyline(line, colour);
}

void PaintBendBar(StatusFrame& f, int left, double v) {
  const int g = TruncToInt32(64.0 * v) & 0xFF;
  OutlinedRect(f, left, 128, left + 20, 128 - TruncToInt32(50.0 * v), QColor(g, 255, g));
}

void PaintVoices(StatusCanvas& canvas, VoiceTable& voices) {
  char line[96];
  for (int i = 0; i < kVoiceCount; ++i) {
    const VoiceSlot& v = voices[i];
    if (IsActive(v)) {
      std::snprintf(line, sizeof line, "#%03d %04dhz *%03d %04d/%04dms", i, TruncToInt32(v.freq.load(relaxed)),
                    TruncToInt32(v.amp.load(relaxed)), TruncToInt32(1000.0 * v.lifeLeft.load(relaxed)),
                    TruncToInt32(1000.0 * v.lifeTotal.load(relaxed)));
    } else {
      std::snprintf(line, sizeof line, "#%03d ---", i);
    }
    canvas.Text(160 * (i / 32), 256 + 11 * (i % 32), line);
  }
}

void PaintPlayerLine(StatusCanvas& canvas, const SongView& view, uint32_t now, const Player* player, int32_t mode) {
  char line[128];
  if (!view.song) {
    std::snprintf(line, sizeof line, "Not opened: F9=Open");
  } else if (view.cursor == kNoCursor) {
    std::snprintf(line, sizeof line, "Opened: Space=Play F11=Close");
  } else {
    const uint32_t next = view.cursor < view.song->size() ? (*view.song)[view.cursor].time : 0;
    std::snprintf(line, sizeof line, "Playing: Space=Replay F11=Close: current=%u next=%u", now, next);
  }
  canvas.Text(0, 608, line);
  const int32_t tempo = player ? player->TempoBPM.load(relaxed) : 0;
  std::snprintf(line, sizeof line, "Tempo=%u", static_cast<uint32_t>(tempo));
  canvas.Text(400, 608, line);
  std::snprintf(line, sizeof line, "MODE:%u", static_cast<uint32_t>(mode));
  canvas.Text(500, 608, line);
}

void PaintInputs(StatusCanvas& canvas, const StatusSources& s, const LiveInputs& live) {
  if (live.left) canvas.Text(0, 619, "L");
  if (live.middle || live.ctrl) canvas.Text(40, 619, "M");
  if (live.right) canvas.Text(80, 619, "R");
  char line[64];
  const bool watching = s.midiInputOpen && s.midiInputOpen();
  std::snprintf(line, sizeof line, "MIDI-IN[M]: %s", watching ? "Watching" : "Sleep");
  canvas.Text(600, 619, line);
  const bool recording = s.ring.recorder.load(std::memory_order_acquire) != nullptr;
  std::snprintf(line, sizeof line, "WaveRecord[W]: %s", recording ? "** R E C O R D I N G **" : "Sleep");
  canvas.Text(600, 608, line);
}

void PaintChannels(StatusCanvas& canvas, const Synth& synth) {
  char text[32];
  for (int n = 1; n <= kMidiChannels; ++n) {
    std::snprintf(text, sizeof text, "%dch", n);
    canvas.Text(50 * n, 630, text);
  }
  canvas.Text(0, 641, "PBend");
  for (int c = 0; c < kMidiChannels; ++c) {
    std::snprintf(text, sizeof text, "%d",
                  TruncToInt32(1000.0 * synth.ChannelBend[static_cast<size_t>(c)].load(relaxed)));
    canvas.Text(50 + 50 * c, 641, text);
  }
  canvas.Text(0, 652, "Vol");
  for (int c = 0; c < kMidiChannels; ++c) {
    std::snprintf(text, sizeof text, "%d",
                  TruncToInt32(1000.0 * synth.ChannelLevel[static_cast<size_t>(c)].load(relaxed)));
    canvas.Text(50 + 50 * c, 652, text);
  }
}

void PaintParams(StatusCanvas& canvas, const ParamEditor& editor, bool shiftAtStart) {
  char value[kValueTextSize];
  for (int r = 0; r < kParamRows; ++r) {
    const ParamDef& row = editor.ParamTable[static_cast<size_t>(r)];
    const int x = 80 * (r % 13);
    const int y = 663 + 22 * (r / 13);
    if (IsSwitchedOn(row)) {
      canvas.Text(x, y, row.label, Qt::black, Qt::white);
    } else {
      canvas.Text(x, y, row.label);
    }
    ValueText(row, value);
    if (shiftAtStart && r == editor.CurrentRow) {
      canvas.Text(x, y + 11, value, Qt::black, QColor(0, 255, 0));
    } else {
      canvas.Text(x, y + 11, value);
    }
  }
}

}  // namespace

namespace {

void BuildStatusFrame(StatusFrame& frame, const StatusSources& s, StatusState& state, const LiveInputs& live) {
  Synth& synth = s.synth;
  frame.Clear();
  PaintScopeFrame(frame);
  if (s.work.Display) {
    PaintScopeTrace(frame, *s.work.Display);
    PaintSpectrum(frame, s.work.Display->outputSpectrum, 128, QColor(255, 0, 255));
    PaintSpectrum(frame, s.work.Display->modulatorSpectrum, 256, QColor(128, 0, 128));
  }
  PaintBendBar(frame, 576, synth.PitchBend.load(relaxed));
  PaintBendBar(frame, 626, synth.PitchShift.load(relaxed));

  StatusCanvas canvas(frame, state.font, state.texts);
  char line[128];
  const uint64_t played = s.ring.device ? s.ring.device->PlayedSamples() : 0;
  // The pull path says so: the same count means samples handed straight to the device.
  const bool pulled = s.ring.outputs != nullptr && s.ring.outputs->Pulling();
  std::snprintf(line, sizeof line,
                pulled ? "%d samples played (low-latency path): DEL to restart sound system."
                       : "%d samples of buffer played: DEL to restart sound system.",
                static_cast<int32_t>(static_cast<uint32_t>(played)));
  canvas.Text(1, 1, line);
  std::snprintf(line, sizeof line, "%d cent", TruncToInt32(100.0 * synth.PitchBend.load(relaxed)));
  canvas.Text(596, 120, line);
  std::snprintf(line, sizeof line, "%d cent", TruncToInt32(100.0 * synth.PitchShift.load(relaxed)));
  canvas.Text(646, 120, line);

  PaintVoices(canvas, synth.voices);

  const SongView view = s.player ? ViewSong(*s.player) : SongView{};
  const uint32_t songNow = s.clock.Milliseconds() - (s.player ? s.player->SongStart.load(relaxed) : 0);
  if (view.cursor != kNoCursor && view.song) {
    PreparePreviewNotes(state.preview, view.song);
    PaintNotePreview(frame, state.preview, songNow);
  } else {
    PreparePreviewNotes(state.preview, nullptr);
  }
  PaintPlayerLine(canvas, view, songNow, s.player, synth.CurrentMode.load(relaxed));
  PaintInputs(canvas, s, live);
  PaintChannels(canvas, synth);
  PaintParams(canvas, s.editor, live.shift);

  const ThreadId sequencer = s.sequencerThread ? s.sequencerThread() : 0;
  const ThreadId audio = s.audioThread ? s.audioThread() : 0;
  PaintCpuLoad(canvas, state.load, {CurrentThreadId(), sequencer, audio}, s.clock.Milliseconds());
}

}  // namespace

QRegion RefreshStatus(const StatusSources& sources, StatusState& state, const LiveInputs& live) {
  BuildStatusFrame(state.next, sources, state, live);
  std::swap(state.shown, state.next);
  return state.shown.ChangedFrom(state.next);
}

void PaintShownStatus(QPainter& painter, const StatusState& state, const QRegion& area) {
  for (const QRect& r : area) painter.fillRect(r, Qt::black);
  state.shown.Paint(painter, state.font, area);
}

void PaintStatus(QPainter& painter, const StatusSources& sources, StatusState& state, const LiveInputs& live) {
  RefreshStatus(sources, state, live);
  PaintShownStatus(painter, state, QRegion(0, 0, kStatusWidth, kStatusHeight));
}

}  // namespace tavolin
