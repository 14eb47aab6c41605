// The key tables at the level of virtual keys, with the modifiers as the
// live keyboard state gives them.

#include <QTest>
#include <string>
#include <vector>

#include "platform/Keys.h"
#include "synth/VoiceHandOff.h"
#include "ui/KeyCommands.h"

namespace tavolin {

class KeyCommandsTest : public QObject {
  Q_OBJECT

  struct Rig {
    Rig() {
      BuildNoteFreqTable(synth.noteFreq);
      hooks.openMidiFile = [this] { calls.push_back("open"); };
      hooks.closeMidiFile = [this] { calls.push_back("close"); };
      hooks.playSong = [this] { calls.push_back("play"); };
      hooks.stopSong = [this] { calls.push_back("stop"); };
      hooks.skipAhead = [this] { calls.push_back("skip"); };
      hooks.nextPlaylistFile = [this] { calls.push_back("next"); };
      hooks.openVocoderWave = [this] { calls.push_back("vocoder open"); };
      hooks.startVocoder = [this] { calls.push_back("vocoder start"); };
      hooks.showSawUnisonDialog = [this](bool visible) { calls.push_back(visible ? "show" : "hide"); };
      hooks.toggleRecording = [this] { calls.push_back("record"); };
      hooks.toggleMidiInput = [this] { calls.push_back("midi in"); };
    }
    void Plain(uint8_t vk) { KeyDown(keys, vk, false, false); }
    void Shift(uint8_t vk, bool ctrl = false) { KeyDown(keys, vk, true, ctrl); }
    void Ctrl(uint8_t vk) { KeyDown(keys, vk, false, true); }
    void Up(uint8_t vk) { KeyUp(keys, vk); }
    int Sounding() const {
      int n = 0;
      for (const VoiceSlot& slot : synth.voices) n += IsActive(slot) ? 1 : 0;
      return n;
    }
    int StartDrum() {
      NoteStart drum;
      drum.mode = 5;
      drum.channel = 9;
      drum.gate = 0;
      drum.life = 1.0;
      return StartVoice(synth.voices, drum);
    }

    Synth synth;
    MasterChain master;
    WaveRing ring;
    ParamEditor editor{synth, master};
    Piano piano;
    KeyHooks hooks;
    std::vector<std::string> calls;
    KeyContext keys{synth, master, ring, editor, piano, hooks};
  };

 private slots:
  void modeKeysSetTheModeRefreshVoicesAndShowOrHideTheDialog() {
    Rig r;
    const int drum = r.StartDrum();
    r.Shift('0');
    QCOMPARE(r.synth.CurrentMode.load(), 9);
    QCOMPARE(r.synth.voices[drum].mode.load(), 9);
    r.Shift('1');
    QCOMPARE(r.synth.CurrentMode.load(), 0);
    QCOMPARE(r.synth.voices[drum].mode.load(), 0);
    r.Ctrl('0');
    QCOMPARE(r.synth.CurrentMode.load(), 19);
    r.Ctrl('3');
    QCOMPARE(r.synth.CurrentMode.load(), 12);
    r.Shift('9', true);  // Ctrl+Shift: the Shift table
    QCOMPARE(r.synth.CurrentMode.load(), 8);
    QCOMPARE(r.calls, (std::vector<std::string>{"show", "hide", "hide", "hide", "hide"}));
    QCOMPARE(r.Sounding(), 1);  // no piano note under Shift or Ctrl
  }

  // Shift pressed alone (or with a key that has no command) re-applies the mode.
  void shiftAloneRefreshesTheModeOfEverySoundingVoice() {
    Rig r;
    r.synth.CurrentMode.store(3);
    const int drum = r.StartDrum();
    QCOMPARE(r.synth.voices[drum].mode.load(), 5);
    r.Plain(VK_SHIFT);  // the Shift key's own key-down, whatever the live state said
    QCOMPARE(r.synth.voices[drum].mode.load(), 3);
    r.synth.voices[drum].mode.store(5);
    r.Ctrl('Q');
    QCOMPARE(r.synth.voices[drum].mode.load(), 3);
    QCOMPARE(r.Sounding(), 1);
  }

  void switchesToggle() {
    Rig r;
    r.Shift('D');
    r.Shift('R');
    r.Shift('T');
    r.Shift('Z');
    r.Shift('X');
    r.Shift('C');
    r.Shift('A');
    QCOMPARE(r.synth.switches.DetuneOn.load(), 1);
    QCOMPARE(r.synth.switches.RingOn.load(), 1);
    QCOMPARE(r.master.DistortionOn.load(), 1);
    QCOMPARE(r.master.LPFResoOn.load(), 1);
    QCOMPARE(r.synth.switches.VoiceResoOn.load(), 1);
    QCOMPARE(r.synth.switches.TimedResoOn.load(), 1);
    QCOMPARE(r.synth.switches.ArpeggioOn.load(), 1);
    r.synth.switches.DetuneOn.store(5);  // any value but 0 toggles to 0
    r.Shift('D');
    QCOMPARE(r.synth.switches.DetuneOn.load(), 0);
    r.Plain(VK_INSERT);
    QCOMPARE(r.master.HowlingOn.load(), 1);
    r.Ctrl(VK_OEM_MINUS);
    QCOMPARE(r.master.DisplayRefreshOn.load(), 0);
    r.Ctrl(VK_OEM_MINUS);
    QCOMPARE(r.master.DisplayRefreshOn.load(), 1);
    QCOMPARE(r.Sounding(), 0);  // Shift+Z, Shift+X, Shift+C played nothing
  }

  void pageUpCyclesTheMasterFilter() {
    Rig r;
    const std::pair<int, int> expected[] = {{1, 0}, {0, 1}, {0, 0}, {1, 0}};
    for (const auto& [lpf, hpf] : expected) {
      r.Plain(VK_PRIOR);
      QCOMPARE(r.master.LPFOn.load(), lpf);
      QCOMPARE(r.master.HPFOn.load(), hpf);
    }
    r.master.HPFOn.store(1);
    r.Plain(VK_PRIOR);
    QCOMPARE(r.master.LPFOn.load(), 1);
    QCOMPARE(r.master.HPFOn.load(), 1);
  }

  void parameterKeys() {
    Rig r;
    r.Shift(VK_RIGHT);
    r.Shift(VK_RIGHT);
    QCOMPARE(r.editor.CurrentRow, 2);
    r.Shift(VK_LEFT);
    r.Shift(VK_UP);
    QCOMPARE(r.synth.params.Howling.load(), 2.0 + 0.10000000149011612);
    r.Shift(VK_DOWN, true);  // Ctrl+Shift+Down: ten steps
    QCOMPARE(r.synth.params.Howling.load(), 2.0 + 0.10000000149011612 - 1.0000000149011612);
    for (int i = 0; i < 20; ++i) r.Shift(VK_END);
    QCOMPARE(r.synth.params.rectwFact.load(), -2.9802322387695312e-08);
    for (int i = 0; i < 3; ++i) r.Shift(VK_END);
    QCOMPARE(r.synth.params.rectwFact.load(), -0.30000003427267075);
    r.Shift(VK_HOME);
    QCOMPARE(r.synth.params.rectwFact.load(), -0.30000003427267075 + 0.10000000149011612);
    r.Plain(VK_UP);  // without Shift: nothing
    QCOMPARE(r.editor.CurrentRow, 1);
  }

  void playerKeysCallThePlayer() {
    Rig r;
    for (uint8_t vk :
         {uint8_t{0x78}, uint8_t{0x7A}, VK_SPACE, VK_RETURN, VK_RIGHT, VK_NEXT, uint8_t{0x79}, uint8_t{0x7B}}) {
      r.Plain(vk);
    }
    QCOMPARE(r.calls, (std::vector<std::string>{"open", "close", "play", "stop", "skip", "next"}));
    r.Shift(VK_RIGHT);  // the parameter table's, not the player's
    QCOMPARE(r.calls.size(), size_t{6});
    r.Shift(VK_OEM_5);
    r.Shift(VK_OEM_7);
    QCOMPARE(r.calls.back(), std::string("vocoder start"));
    QCOMPARE(r.calls[6], std::string("vocoder open"));
  }

  void pianoKeyStartsALiveVoice() {
    Rig r;
    r.synth.CurrentMode.store(7);
    r.Plain('Z');
    const VoiceSlot& v = r.synth.voices[0];
    QVERIFY(IsActive(v));
    QCOMPARE(v.note.load(), 24);
    QCOMPARE(v.freq.load(), r.synth.noteFreq[24]);
    QCOMPARE(v.amp.load(), 12288.0);
    QCOMPARE(v.lifeLeft.load(), 0.25);
    QCOMPARE(v.lifeTotal.load(), 0.25);
    QCOMPARE(v.sweepRate.load(), 0.5);
    QCOMPARE(v.gate.load(), 1);
    QCOMPARE(v.channel.load(), 255);
    QCOMPARE(v.mode.load(), 7);
    QCOMPARE(v.startOffset.load(), 0);  // no device: position 0
    r.Plain('W');                       // unshifted W plays semitone 14
    QCOMPARE(r.synth.voices[1].note.load(), 38);
    r.Shift('W');  // recording, and no note
    QCOMPARE(r.Sounding(), 2);
    QCOMPARE(r.calls, std::vector<std::string>{"record"});
    r.Shift('M');  // MIDI input, and no note
    QCOMPARE(r.Sounding(), 2);
    QCOMPARE(r.calls.back(), std::string("midi in"));
  }

  void octavesAndTheWholeNoteMap() {
    Rig r;
    r.Plain(0x70 + 7);  // F8
    r.Plain(VK_OEM_5);
    QCOMPARE(r.synth.voices[0].note.load(), 116);
    r.Plain(0x70);  // F1
    const std::pair<uint8_t, int> lowerRowEnds[] = {{VK_OEM_COMMA, 12}, {VK_OEM_102, 17}, {VK_OEM_6, 18},
                                                    {'Q', 12},          {VK_OEM_3, 29},   {VK_OEM_4, 31}};
    // ',' and Q are both semitone 12: the second finds it sounding.
    int slot = 1;
    for (const auto& [vk, semitone] : lowerRowEnds) {
      r.Plain(vk);
      if (vk == 'Q') continue;
      QCOMPARE(r.synth.voices[slot++].note.load(), semitone);
    }
    QCOMPARE(r.Sounding(), 6);
    QCOMPARE(PianoSemitone('A'), -1);
    QCOMPARE(PianoSemitone(VK_OEM_7), 30);
  }

  // A held key's repeated key-downs find the note sounding and start nothing.
  void autoRepeatStartsNoMoreVoices() {
    Rig r;
    for (int i = 0; i < 10; ++i) r.Plain('X');
    QCOMPARE(r.Sounding(), 1);
    r.Up('X');
    QCOMPARE(r.synth.voices[0].gate.load(), 0);
    r.Plain('X');  // a new press after the release is a new voice
    QCOMPARE(r.Sounding(), 2);
  }

  void releaseLooksUnderTheOctaveInForceNow() {
    Rig r;
    r.Plain('C');       // note 28
    r.Plain(0x70 + 4);  // F5
    r.Up('C');          // looks for note 52
    QCOMPARE(r.synth.voices[0].gate.load(), 1);
    r.Plain(0x70 + 2);  // F3, back to octave 2
    r.Up('C');
    QCOMPARE(r.synth.voices[0].gate.load(), 0);
    r.Up('C');  // nothing left to release
    r.Up(VK_SPACE);
  }

  void allVoicesBusyDropsTheNote() {
    Rig r;
    for (int i = 0; i < kVoiceCount; ++i) QVERIFY(r.StartDrum() >= 0);
    r.Plain('Z');
    QCOMPARE(r.Sounding(), kVoiceCount);
    for (const VoiceSlot& slot : r.synth.voices) QCOMPARE(slot.channel.load(), 9);
    QVERIFY(!r.piano.AnySounding());
  }

  void backspaceStopsEveryVoice() {
    Rig r;
    r.Plain('Z');
    r.StartDrum();
    r.Plain(VK_BACK);
    QCOMPARE(r.Sounding(), 0);
  }

  // Focus lost: the notes the piano holds are released, other voices are not.
  void lostFocusReleasesThePianosNotes() {
    Rig r;
    r.Plain('Z');
    r.Plain('E');
    r.Plain(0x70 + 5);  // F6: the release would look in another octave
    NoteStart other;
    other.note = 90;
    other.life = 1.0;
    const int foreign = StartVoice(r.synth.voices, other);
    ReleasePianoNotes(r.keys);
    QCOMPARE(r.synth.voices[0].gate.load(), 0);
    QCOMPARE(r.synth.voices[1].gate.load(), 0);
    QCOMPARE(r.synth.voices[foreign].gate.load(), 1);
    QVERIFY(!r.piano.AnySounding());
  }

  // A MIDI note-off released the piano's note and a MIDI note-on started it
  // again: that voice is MIDI input's, and a lost focus leaves it sounding.
  void lostFocusLeavesANoteMidiInputTookOver() {
    Rig r;
    r.Plain('Z');
    VoiceId pianos = 0;
    QVERIFY(FindActiveVoice(r.synth.voices[0], pianos));
    ReleaseVoice(r.synth.voices[0], pianos);
    NoteStart midi;
    midi.note = r.synth.voices[0].note.load();
    midi.life = 1.0;
    const int taken = StartVoice(r.synth.voices, midi);
    ReleasePianoNotes(r.keys);
    QCOMPARE(r.synth.voices[taken].gate.load(), 1);
  }
};

}  // namespace tavolin

QTEST_APPLESS_MAIN(tavolin::KeyCommandsTest)
#include "KeyCommandsTest.moc"
