// The status display drawn into an image and read back at the pixels and
// texts its layout fixes. A text is checked by drawing it alone at its
// place and comparing that cell with the picture.

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <functional>
#include <mutex>
#include <random>
#include <vector>

#include "audio/WaveRing.h"
#include "audio/WorkAreas.h"
#include "midi/player/Sequencer.h"
#include "synth/VoiceHandOff.h"
#include "tests/ui/StatusRig.h"
#include "tests/ui/StatusText.h"
#include "ui/StatusDisplay.h"

namespace tavolin {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGreen(0, 255, 0);

struct NullSink final : BlockSink {
  void Append(const int16_t*, uint32_t) override {}
};

struct Rig : StatusRig {
  Rig() : StatusRig(5000) {}

  QImage Paint(const LiveInputs& live = {}, bool withPlayer = true) {
    QImage image(1140, 708, QImage::Format_RGB32);
    image.fill(Qt::black);
    StatusSources sources{synth, ring, work, clock, editor, withPlayer ? &player : nullptr, {}, {}, {}};
    QPainter painter(&image);
    PaintStatus(painter, sources, state, live);
    return image;
  }

  // A song of the given events, installed and (optionally) playing from clock 1000.
  void Song(EventList events, bool play) {
    InstallSong(player, std::move(events), "song.mid");
    if (play) {
      clock.Set(1000);
      StartPlayback(player);
    }
  }
};

// The preview as a plain walk paints it: every note up to the first event
// past the horizon, in list order, a sounding note's grey lane first.
void PaintPreviewByWalking(QPainter& painter, const EventList& song, uint32_t now) {
  for (size_t i = 0; i < song.size() && song[i].time < now + 5000; ++i) {
    const SeqEvent& e = song[i];
    if (e.type != NoteOn) continue;
    uint32_t end = e.time;
    for (size_t j = i + 1; j < song.size(); ++j) {
      if (song[j].type == NoteOff && song[j].channel == e.channel && song[j].key == e.key) {
        end = song[j].time;
        break;
      }
    }
    if (end < now) continue;
    const int top = 640 - 3 * static_cast<int>(e.key);
    if (e.time < now) painter.fillRect(640, top, 500, 3, QColor(32, 32, 32));
    const int s = static_cast<int>((std::max(e.time, now) - now) / 10);
    const int t = static_cast<int>((std::min(end, now + 5000) - now) / 10);
    if (t > s) painter.fillRect(640 + s, top, t - s, 3, QColor(0, PreviewGreen(e.level), 0));
  }
}

bool IsBlackArea(const QImage& picture, QRect area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (picture.pixelColor(x, y) != kBlack) return false;
    }
  }
  return true;
}

}  // namespace

class StatusDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  // Texts drawn from their cached layout look exactly as drawText draws
  // them on an opaque background, the first time and every time after.
  void cachedTextsMatchDrawText() {
    const QFont font = StatusFont();
    const struct {
      int x, y;
      const char* text;
      QColor fg, bg;
    } texts[] = {
        {1, 1, "123456 samples of buffer played: DEL to restart sound system.", kWhite, kBlack},
        {80, 663, "LPFResoCut", Qt::black, kWhite},
        {160, 674, "0.980000", Qt::black, kGreen},
    };
    QImage expected(400, 700, QImage::Format_RGB32), cached(expected.size(), expected.format());
    expected.fill(Qt::darkBlue);
    {
      QPainter painter(&expected);
      painter.setFont(font);
      painter.setBackgroundMode(Qt::OpaqueMode);
      for (const auto& t : texts) {
        painter.setPen(t.fg);
        painter.setBackground(t.bg);
        painter.drawText(QPoint(t.x, t.y + painter.fontMetrics().ascent()), QString::fromLatin1(t.text));
      }
    }
    StatusTextCache cache;
    for (int paint = 0; paint < 2; ++paint) {
      cached.fill(Qt::darkBlue);
      {
        StatusFrame frame;
        StatusCanvas canvas(frame, font, cache);
        for (const auto& t : texts) canvas.Text(t.x, t.y, t.text, t.fg, t.bg);
        QPainter painter(&cached);
        frame.Paint(painter, font, QRegion(cached.rect()));
      }
      QCOMPARE(cached, expected);
    }
  }

  void silenceGivesAFlatTraceAndEmptyVoiceLines() {
    Rig r;
    const QImage p = r.Paint({}, false);
    QCOMPARE(p.pixelColor(300, 128), kGreen);
    QCOMPARE(p.pixelColor(570, 128), kGreen);  // the trace runs on past the frame to x 575
    QCOMPARE(p.pixelColor(300, 127), kBlack);
    QCOMPARE(p.pixelColor(300, 129), kBlack);
    QCOMPARE(p.pixelColor(0, 200), kWhite);  // frame
    QCOMPARE(p.pixelColor(511, 200), kWhite);
    QCOMPARE(p.pixelColor(200, 255), kWhite);
    QCOMPARE(p.pixelColor(200, 256 + 12), kBlack);
    QCOMPARE(p.pixelColor(900, 128), QColor(255, 0, 255));  // both spectra flat
    QCOMPARE(p.pixelColor(900, 256), QColor(128, 0, 128));
    QVERIFY(ShowsText(p, 0, 256, "#000 ---"));
    QVERIFY(ShowsText(p, 160, 256 + 11 * 5, "#037 ---"));
    QVERIFY(ShowsText(p, 480, 256 + 11 * 31, "#127 ---"));
    QVERIFY(ShowsText(p, 1, 1, "0 samples of buffer played: DEL to restart sound system."));
    QVERIFY(ShowsText(p, 596, 120, "0 cent"));
    QVERIFY(ShowsText(p, 0, 608, "Not opened: F9=Open"));
    QVERIFY(!ShowsText(p, 0, 608, "Not opened: F9=Opem"));
    QVERIFY(!ShowsText(p, 0, 609, "Not opened: F9=Open"));
    QVERIFY(ShowsText(p, 400, 608, "Tempo=0"));
    QVERIFY(ShowsText(p, 500, 608, "MODE:0"));
    QVERIFY(ShowsText(p, 600, 608, "WaveRecord[W]: Sleep"));
    QVERIFY(ShowsText(p, 600, 619, "MIDI-IN[M]: Sleep"));
    QVERIFY(ShowsText(p, 50, 630, "1ch"));
    QVERIFY(ShowsText(p, 800, 630, "16ch"));
    QVERIFY(ShowsText(p, 0, 641, "PBend"));
    QVERIFY(ShowsText(p, 800, 641, "0"));
    QVERIFY(ShowsText(p, 0, 652, "Vol"));
    QVERIFY(ShowsText(p, 0, 663, "MasterVol"));
    QVERIFY(ShowsText(p, 0, 674, "1.000"));
    QVERIFY(ShowsText(p, 0, 685, "ModFreq"));
    QVERIFY(ShowsText(p, 0, 696, "5.000"));
    QVERIFY(ShowsText(p, 800, 696, "7"));  // row 23, ArpeggioS2
    QVERIFY(ShowsText(p, 512, 13, "MIDI: Error"));
    QVERIFY(ShowsText(p, 512, 26, "WFill: Error"));
    QVERIFY(ShowsText(p, 512, 39, "Total CPULoad: 00 %"));
    QVERIFY(IsBlackArea(p, QRect(0, 619, 100, 11)));  // no button, no Ctrl
  }

  void traceFollowsTheRing() {
    Rig r;
    std::vector<int16_t> ring(kRingSamples, 16384);
    ring[16 * 100] = -32768;
    r.work.Display->scope.Publish(0, ring.data(), ring.size());
    const QImage p = r.Paint();
    QCOMPARE(p.pixelColor(300, 192), kGreen);
    QCOMPARE(p.pixelColor(300, 128), kBlack);
    QCOMPARE(p.pixelColor(100, 0), kGreen);  // the one loud sample reaches the top
  }

  void bendBarsAndCents() {
    Rig r;
    r.synth.PitchBend.store(2.0);
    r.synth.PitchShift.store(-0.5);
    const QImage p = r.Paint();
    // 100 pixels up from y 128 (black outline at 28 and 127), colour (128, 255, 128).
    QCOMPARE(p.pixelColor(586, 29), QColor(128, 255, 128));
    QCOMPARE(p.pixelColor(586, 126), QColor(128, 255, 128));
    QCOMPARE(p.pixelColor(586, 28), kBlack);
    QCOMPARE(p.pixelColor(586, 27), kBlack);
    QCOMPARE(p.pixelColor(586, 127), kBlack);
    // 25 pixels down, colour (224, 255, 224).
    QCOMPARE(p.pixelColor(636, 129), QColor(224, 255, 224));
    QCOMPARE(p.pixelColor(636, 151), QColor(224, 255, 224));
    QCOMPARE(p.pixelColor(636, 152), kBlack);
    QCOMPARE(p.pixelColor(636, 153), kBlack);
    QVERIFY(ShowsText(p, 596, 120, "200 cent"));
    QVERIFY(ShowsText(p, 646, 120, "-50 cent"));
  }

  void voiceLines() {
    Rig r;
    for (int i = 0; i < 97; ++i) {
      NoteStart n;
      n.freq = r.synth.noteFreq[45];
      n.amp = 12288.0;
      n.life = 0.25;
      QVERIFY(StartVoice(r.synth.voices, n) == i);
    }
    r.synth.voices[96].lifeLeft.store(0.0129);
    const QImage p = r.Paint();
    QVERIFY(ShowsText(p, 480, 256, "#096 0440hz *12288 0012/0250ms"));
    QVERIFY(ShowsText(p, 480, 267, "#097 ---"));
  }

  void playerLineForEachState() {
    Rig r;
    QVERIFY(ShowsText(r.Paint(), 0, 608, "Not opened: F9=Open"));
    r.Song({{NoteOn, 700, 0, 60, 100, 0}, {NoteOff, 900, 0, 60, 0, 0}}, false);
    QVERIFY(ShowsText(r.Paint(), 0, 608, "Opened: Space=Play F11=Close"));
    r.clock.Set(1000);
    StartPlayback(r.player);
    r.player.TempoBPM.store(120);
    r.clock.Set(1250);
    const QImage p = r.Paint();
    QVERIFY(ShowsText(p, 0, 608, "Playing: Space=Replay F11=Close: current=250 next=700"));
    QVERIFY(ShowsText(p, 400, 608, "Tempo=120"));
  }

  void notePreview() {
    Rig r;
    r.Song({{NoteOn, 0, 0, 60, 100, 0},  // sounds through the whole preview
            {NoteOn, 0, 1, 64, 100, 0},  // over before now
            {NoteOff, 1000, 1, 64, 0, 0},
            {NoteOn, 3000, 2, 62, 20, 0},  // from now + 1 s to now + 2 s
            {NoteOn, 3500, 3, 70, 50, 0},  // no NoteOff: no width
            {NoteOff, 4000, 2, 62, 0, 0},
            {NoteOn, 7000, 4, 66, 100, 0},  // beyond now + 5 s: not walked
            {NoteOff, 7100, 4, 66, 0, 0},
            {NoteOff, 20000, 0, 60, 0, 0}},
           true);
    r.clock.Set(1000 + 2000);  // song time 2000
    const QImage p = r.Paint();
    const QColor bar(0, (255 * 100) & 0xFF, 0);
    // Note 60: lane y 460..462, green across x 640..1139.
    QCOMPARE(p.pixelColor(640, 460), bar);
    QCOMPARE(p.pixelColor(1139, 462), bar);
    QCOMPARE(p.pixelColor(700, 459), kBlack);
    QCOMPARE(p.pixelColor(700, 463), kBlack);
    // Note 62: x 740..839, no grey lane before it.
    const QColor quiet(0, (255 * 20) & 0xFF, 0);
    QCOMPARE(p.pixelColor(739, 455), kBlack);
    QCOMPARE(p.pixelColor(740, 455), quiet);
    QCOMPARE(p.pixelColor(839, 455), quiet);
    QCOMPARE(p.pixelColor(840, 455), kBlack);
    QVERIFY(IsBlackArea(p, QRect(640, 448, 500, 3)));  // note 64 is over
    QVERIFY(IsBlackArea(p, QRect(640, 430, 500, 3)));  // note 70 has no end
    QVERIFY(IsBlackArea(p, QRect(640, 442, 500, 3)));  // note 66 is too far ahead

    // Later the quiet note sounds now: its lane is lit grey behind the bar.
    r.clock.Set(1000 + 3500);
    const QImage later = r.Paint();
    QCOMPARE(later.pixelColor(640, 455), quiet);
    QCOMPARE(later.pixelColor(689, 455), quiet);
    QCOMPARE(later.pixelColor(690, 455), QColor(32, 32, 32));
    QCOMPARE(later.pixelColor(1139, 455), QColor(32, 32, 32));
  }

  // Overlapping notes of a few lanes at many moments: the same picture as
  // painting every note in list order.
  void previewEqualsPaintingEveryNote() {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
      EventList song;
      for (uint32_t t = 0; t < 12000; t += random() % 400) {
        const uint32_t key = 60 + random() % 3;
        const uint32_t channel = random() % 2;
        song.push_back({random() % 3 ? NoteOn : NoteOff, t, channel, key, double(1 + random() % 127), 0});
      }
      PreviewNotes notes;
      PreparePreviewNotes(notes, std::make_shared<const EventList>(song));
      const uint32_t now = random() % 10000;
      QImage fast(1140, 708, QImage::Format_RGB32), walked(1140, 708, QImage::Format_RGB32);
      fast.fill(Qt::black);
      walked.fill(Qt::black);
      {
        StatusFrame frame;
        PaintNotePreview(frame, notes, now);
        QPainter painter(&fast);
        frame.Paint(painter, StatusFont(), QRegion(fast.rect()));
      }
      {
        QPainter painter(&walked);
        PaintPreviewByWalking(painter, song, now);
      }
      QVERIFY2(fast == walked, qPrintable(QString("round %1, now %2").arg(round).arg(now)));
    }
  }

  // Repainting only what a new picture changed leaves the window as painting
  // all of it would, through a run of changes; with nothing changed only the
  // window thread's own CPU time is repainted, and a change repaints only
  // around itself.
  void repaintingWhatChangedEqualsPaintingAll() {
    Rig r;
    LiveInputs live;
    const StatusSources sources{r.synth, r.ring, r.work, r.clock, r.editor, &r.player, {}, {}, {}};
    QImage window(kStatusWidth, kStatusHeight, QImage::Format_RGB32), whole(window.size(), window.format());
    {
      QPainter painter(&window);
      PaintStatus(painter, sources, r.state, live);
    }
    const QRect cpuLoadLines(505, -5, kStatusWidth - 505, 60);
    const QRegion atRest = RefreshStatus(sources, r.state, live);
    QVERIFY(cpuLoadLines.contains(atRest.boundingRect()));
    {
      QPainter painter(&window);
      PaintShownStatus(painter, r.state, atRest);
    }
    VoiceId voice;
    const struct {
      const char* change;
      std::function<void()> make;
      QRect within;  // where the repaint must stay besides the CPU load (empty: anywhere)
    } steps[] = {
        {"a voice starts",
         [&] {
           NoteStart n;
           n.freq = r.synth.noteFreq[45];
           n.amp = 12288.0;
           n.life = 0.25;
           StartVoice(r.synth.voices, n, &voice);
         },
         QRect(-5, 250, 175, 22)},
        {"the voice ends: a shorter line", [&] { KillVoice(r.synth.voices[0], voice); }, QRect(-5, 250, 175, 22)},
        {"the bend and the trace",
         [&] {
           r.synth.PitchBend.store(1.5);
           const std::vector<int16_t> loud(kRingSamples, 20000);
           r.work.Display->scope.Publish(0, loud.data(), loud.size());
         },
         {}},
        {"Shift and the buttons", [&] { live.shift = live.left = live.right = true; }, {}},
        {"a switch", [&] { r.master.LPFOn.store(1); }, QRect(145, 655, 110, 22)},
        {"a song plays",
         [&] {
           r.Song({{NoteOn, 0, 0, 60, 100, 0}, {NoteOn, 300, 0, 61, 90, 0}, {NoteOff, 4000, 0, 60, 0, 0}}, true);
           r.clock.Set(1200);
         },
         {}},
        {"the song goes on", [&] { r.clock.Set(1900); }, {}},
        {"the song is closed", [&] { CloseMidiFile(r.player); }, {}},
    };
    for (const auto& step : steps) {
      step.make();
      const QRegion changed = RefreshStatus(sources, r.state, live);
      QVERIFY2(!changed.isEmpty(), step.change);
      if (!step.within.isEmpty())
        QVERIFY2(step.within.contains(changed.subtracted(cpuLoadLines).boundingRect()), step.change);
      {
        QPainter painter(&window);
        PaintShownStatus(painter, r.state, changed);
      }
      {
        QPainter painter(&whole);
        PaintShownStatus(painter, r.state, QRegion(whole.rect()));
      }
      QVERIFY2(window == whole, step.change);
    }
  }

  // The song the preview reads stays alive while the player drops it.
  void previewSurvivesTheSongBeingClosed() {
    Rig r;
    r.Song({{NoteOn, 0, 0, 60, 100, 0}, {NoteOff, 9000, 0, 60, 0, 0}}, true);
    r.clock.Set(1500);
    r.Paint();
    CloseMidiFile(r.player);
    const QImage p = r.Paint();
    QVERIFY(ShowsText(p, 0, 608, "Not opened: F9=Open"));
    QVERIFY(IsBlackArea(p, QRect(640, 460, 500, 3)));
  }

  void shiftMarksTheSelectedValue() {
    Rig r;
    r.editor.CurrentRow = 3;
    LiveInputs live;
    live.shift = true;
    QVERIFY(ShowsText(r.Paint(live), 240, 674, "70.000", kBlack, kGreen));
    QVERIFY(ShowsText(r.Paint(), 240, 674, "70.000"));
  }

  void switchedOnRowsAreInverted() {
    Rig r;
    r.master.LPFOn.store(1);
    r.synth.params.ONLY_CH.store(3);
    const QImage p = r.Paint();
    QVERIFY(ShowsText(p, 160, 663, "LPFFact[PgUp]", kBlack, kWhite, 80));
    QVERIFY(ShowsText(p, 240, 663, "HPFFact[PgUp]", kWhite, kBlack, 80));
    QVERIFY(ShowsText(p, 560, 685, "ONLY CH", kBlack, kWhite, 80));
    QVERIFY(ShowsText(p, 560, 696, "3"));
  }

  void inputIndicatorsAndRecording() {
    Rig r;
    NullSink sink;
    r.ring.recorder.store(&sink);
    LiveInputs live;
    live.left = live.right = live.ctrl = true;
    const QImage p = r.Paint(live);
    QVERIFY(ShowsText(p, 0, 619, "L"));
    QVERIFY(ShowsText(p, 40, 619, "M"));
    QVERIFY(ShowsText(p, 80, 619, "R"));
    QVERIFY(ShowsText(p, 600, 608, "WaveRecord[W]: ** R E C O R D I N G **"));
  }

  void channelTable() {
    Rig r;
    r.synth.ChannelBend[2].store(-1.5);
    r.synth.ChannelLevel[15].store(0.75);
    const QImage p = r.Paint();
    QVERIFY(ShowsText(p, 150, 641, "-1500"));
    QVERIFY(ShowsText(p, 800, 652, "750"));
  }

  // Until the second snapshot the rates are a thread's whole CPU time;
  // a snapshot is taken only when more than 1000 ms have passed.
  void cpuLoadSnapshots() {
    Rig r;
    const ThreadId me = CurrentThreadId();
    StatusSources sources{r.synth, r.ring, r.work, r.clock, r.editor, nullptr, [me] { return me; }, {}, {}};
    QImage image(1140, 708, QImage::Format_RGB32);
    auto paint = [&] {
      image.fill(Qt::black);
      QPainter painter(&image);
      PaintStatus(painter, sources, r.state, {});
    };
    paint();
    QCOMPARE(r.state.load.LastLoadSnapshot, 5000u);
    QCOMPARE(r.state.load.loads[1].thread, me);
    QVERIFY(r.state.load.loads[1].last.user + r.state.load.loads[1].last.kernel > 0);
    r.clock.Set(6000);  // exactly 1000 ms later: no snapshot yet
    paint();
    QCOMPARE(r.state.load.LastLoadSnapshot, 5000u);
    r.clock.Set(6001);
    paint();
    QCOMPARE(r.state.load.LastLoadSnapshot, 6001u);
    QVERIFY(ShowsText(image, 512, 26, "WFill: Error"));
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::StatusDisplayTest)
#include "StatusDisplayTest.moc"
