// Live MIDI input: notes, controllers, program change, pitch bend and the log.

#include "midi/input/MidiInProc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "PlayerRig.h"
#include "audio/RenderBlock.h"

namespace tavolin {
namespace {

class LineLog final : public MidiLogSink {
 public:
  void Log(uint8_t status, uint8_t data1, uint8_t data2) override {
    char line[16];
    std::snprintf(line, sizeof line, "%02X: %02X %02X", status, data1, data2);
    lines.emplace_back(line);
  }
  std::vector<std::string> lines;
};

struct MidiIn : ::testing::Test {
  test::PlayerRig rig;
  MidiInProc midi{rig.synth, rig.position};

  void Send(uint8_t status, uint8_t data1, uint8_t data2) { midi.OnMessage(status, data1, data2); }
  int HeldVoices(int32_t note) {
    int n = 0;
    for (const VoiceSlot& s : rig.synth.voices) {
      n += IsActive(s) && s.note.load() == note && s.gate.load() == 1 ? 1 : 0;
    }
    return n;
  }
};

TEST_F(MidiIn, NoteOnOnAnyChannelStartsALiveVoiceAndIsLogged) {
  LineLog log;
  midi.SetLogSink(&log);
  rig.synth.params.Life.store(0.5);
  rig.synth.CurrentMode.store(4);
  Send(0x93, 0x3C, 0x40);
  const VoiceSlot& v = rig.synth.voices[0];
  ASSERT_TRUE(IsActive(v));
  EXPECT_EQ(v.freq.load(), rig.synth.noteFreq[0x3C]);
  EXPECT_EQ(v.amp.load(), 64 * 96.0);
  EXPECT_EQ(v.lifeTotal.load(), 0.5);
  EXPECT_EQ(v.lifeLeft.load(), 0.5);
  EXPECT_EQ(v.sweepRate.load(), 0.5);
  EXPECT_EQ(v.gate.load(), 1);
  EXPECT_EQ(v.channel.load(), LiveChannel);
  EXPECT_EQ(v.note.load(), 0x3C);
  EXPECT_EQ(v.mode.load(), 4);
  EXPECT_EQ(v.startOffset.load(), static_cast<int32_t>(rig.device.PlayedSamples() % 1024));
  Send(0x90, 0x3C, 127);
  EXPECT_EQ(rig.synth.voices[1].amp.load(), 12192.0);
  midi.SetLogSink(nullptr);
  Send(0xF8, 0, 0);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"93: 3C 40", "90: 3C 7F"}));
}

TEST_F(MidiIn, NoteOffReleasesEveryHeldLiveVoiceOfTheNoteOnly) {
  for (uint8_t off : {0x80, 0x90, 0x8F}) {
    SCOPED_TRACE(off);
    ClearVoiceTable(rig.synth.voices);
    NoteStart seq;
    seq.channel = 0;
    seq.note = 60;
    StartVoice(rig.synth.voices, seq);  // a sequencer voice with the same note
    Send(0x90, 60, 100);
    Send(0x91, 60, 100);
    Send(0x90, 61, 100);
    Send(off, 60, off == 0x90 ? 0 : 64);  // velocity 0 is a note-off
    EXPECT_EQ(rig.ActiveVoices(), 4) << "released voices sound on, nothing new starts";
    EXPECT_EQ(HeldVoices(60), 1) << "the sequencer voice keeps playing";
    EXPECT_EQ(rig.synth.voices[0].gate.load(), 1);
    EXPECT_EQ(HeldVoices(61), 1);
  }
}

TEST_F(MidiIn, NoteOnWithAllSlotsBusyChangesNothingButTheLog) {
  LineLog log;
  midi.SetLogSink(&log);
  for (int i = 0; i < kVoiceCount; ++i) Send(0x90, 30, 1);
  Send(0x90, 31, 100);
  EXPECT_EQ(rig.ActiveVoices(), kVoiceCount);
  EXPECT_EQ(HeldVoices(31), 0);
  EXPECT_EQ(log.lines.size(), kVoiceCount + 1u);
}

TEST_F(MidiIn, NotesPastTheTableSoundAtItsTopEntry) {
  Send(0x90, 0xFF, 100);  // data bytes are taken as they come, bit 7 included
  Send(0x90, 119, 100);
  EXPECT_EQ(rig.synth.voices[0].freq.load(), rig.synth.noteFreq[kNoteFreqCount - 1]);
  EXPECT_EQ(rig.synth.voices[0].note.load(), 0xFF);
  EXPECT_EQ(rig.synth.voices[1].freq.load(), rig.synth.noteFreq[119]);
}

// 123 releases what is held (a released or song drum voice fades on as it
// was); 120 ends every voice at once; neither is heard unless obeyed.
TEST_F(MidiIn, AllNotesOffReleasesAndAllSoundOffSilencesWhenObeyed) {
  MidiInProc plugin(rig.synth, rig.position, ChannelModeMessages::Obeyed);
  auto startThree = [&] {
    ClearVoiceTable(rig.synth.voices);
    Send(0x90, 60, 100);
    Send(0x91, 64, 100);
    NoteStart drum;
    drum.channel = 9;
    drum.gate = 0;
    StartVoice(rig.synth.voices, drum);
  };
  for (const uint8_t number : {123, 120}) {
    startThree();
    Send(0xB0, number, 0);
    EXPECT_EQ(rig.ActiveVoices(), 3) << "ignored: " << int{number};
    EXPECT_EQ(HeldVoices(60) + HeldVoices(64), 2);
  }
  startThree();
  plugin.OnMessage(0xB7, 123, 0);
  EXPECT_EQ(rig.ActiveVoices(), 3) << "released voices fade out";
  EXPECT_EQ(HeldVoices(60) + HeldVoices(64), 0);
  plugin.OnMessage(0xBF, 120, 0);
  EXPECT_EQ(rig.ActiveVoices(), 0);
}

TEST_F(MidiIn, ControllersSetTheirParameters) {
  SynthParams& p = rig.synth.params;
  const double before = p.MasterVol.load();
  struct Case {
    uint8_t number, value;
    std::atomic<double>& param;
    double expected;
  } cases[] = {
      {1, 127, p.ModPower, 127 * 0.007874015748031496},
      {1, 0, p.ModPower, 0.0},
      {2, 5, p.DetuneFact, 5 * 0.0010000000474974513},
      {3, 127, p.rectwFact, 127 * 0.07086614173228346 + 2},
      {71, 0, p.LPFResoAmp, 1.0},
      // Multiplied and added apart: fused, they would give ...514 and ...007.
      {3, 9, p.rectwFact, 2.637795275590551},
      {71, 6, p.LPFResoAmp, 1.425196850393701},
      {72, 64, p.Life, 64 * 0.007874015748031496},
      {74, 127, p.LPFResoCut, 16329.0},
      {74, 0, p.LPFResoCut, 200.0},
  };
  for (const Case& c : cases) {
    Send(0xB5, c.number, c.value);
    EXPECT_EQ(c.param.load(), c.expected) << int{c.number} << " " << int{c.value};
  }
  Send(0xB0, 7, 0);  // not one of ours
  EXPECT_EQ(p.MasterVol.load(), before);
}

TEST_F(MidiIn, PitchBendInSemitones) {
  for (auto [lsb, msb, bend] : {std::tuple{0x00, 0x40, 0.0}, {0x00, 0x00, -2.0}, {0x7F, 0x7F, 1.999755859375}}) {
    Send(0xE2, static_cast<uint8_t>(lsb), static_cast<uint8_t>(msb));
    EXPECT_EQ(rig.synth.PitchBend.load(), bend);
  }
}

TEST_F(MidiIn, ProgramChangeReModesSoundingVoices) {
  NoteStart seq;
  seq.channel = 2;
  StartVoice(rig.synth.voices, seq);
  Send(0x90, 60, 100);
  Send(0xC7, 3, 0);
  EXPECT_EQ(rig.synth.CurrentMode.load(), 3);
  EXPECT_EQ(rig.synth.voices[0].mode.load(), 3);
  EXPECT_EQ(rig.synth.voices[1].mode.load(), 3);
  EXPECT_EQ(rig.synth.voices[2].mode.load(), 0) << "a free slot is left alone";
}

TEST_F(MidiIn, ShortMessagesArePaddedWithZeros) {
  Send(0x90, 60, 100);
  const uint8_t noteOffByRunningZero[] = {0x90, 60};
  midi.OnMessage(noteOffByRunningZero, 2);
  EXPECT_EQ(HeldVoices(60), 0);
  LineLog log;
  midi.SetLogSink(&log);
  const uint8_t clock[] = {0xF8};
  midi.OnMessage(clock, 1);
  midi.OnMessage(clock, 0);
  EXPECT_EQ(log.lines, std::vector<std::string>{"F8: 00 00"});
}

}  // namespace
}  // namespace tavolin
