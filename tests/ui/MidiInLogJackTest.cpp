// MIDI from a JACK client of the test, wired as the program wires it: into
// our virtual port, through the MIDI input to the voices and to the main
// window's log window, where each message shows as its line in order.

#include <unistd.h>
#include <QTest>
#include <cstdlib>
#include <string>

#include "audio/WaveRing.h"
#include "host/RingPosition.h"
#include "midi/input/MidiInProc.h"
#include "platform/MidiInPort.h"
#include "synth/Synth.h"
#include "synth/VoiceHandOff.h"
#include "tests/WaitUntil.h"
#include "tests/platform/JackMidiSender.h"
#include "tests/platform/JackServer.h"
#include "ui/LogWindowCommand.h"
#include "ui/MainWindow.h"
#include "ui/MidiInputCommand.h"

namespace tavolin {

class MidiInLogJackTest : public QObject {
  Q_OBJECT

 private slots:
  void notesFromJackSoundAndAppearInTheLog() {
    if (std::system("command -v jackd > /dev/null") != 0) QSKIP("jackd is not installed");
    test::JackServer server("tavolin-midi-log-" + std::to_string(getpid()), 256);
    if (!server.WaitUntilUp()) QSKIP("jackd could not be started");

    Synth synth;
    BuildNoteFreqTable(synth.noteFreq);
    WaveRing ring;
    RingPosition position(ring);
    MidiInProc midiIn(synth, position);
    MidiInPort port(&MidiInProc::Receive, &midiIn);
    MainWindow window;
    MidiInputCommand input(port, &window);
    midiIn.SetLogSink(window.LogWindowSink());
    window.LogWindows()->Toggle();
    input.OpenByName("virtual");
    QVERIFY(input.IsOpen());

    test::JackMidiSender sender;
    QVERIFY(sender.Ok());
    QVERIFY(test::WaitUntil([&] { return sender.ConnectTo("Tavolin.*:MIDI in$"); }));
    for (const auto& bytes : {std::vector<uint8_t>{0x91, 45, 127}, {0xF8}, {0x81, 45, 0}}) QVERIFY(sender.Send(bytes));

    LogWindow* log = window.LogWindows()->Window();
    QTRY_COMPARE_WITH_TIMEOUT(log->count(), 3, 30000);
    QCOMPARE(log->item(0)->text(), QString("91: 2D 7F"));
    QCOMPARE(log->item(1)->text(), QString("F8: 00 00"));
    QCOMPARE(log->item(2)->text(), QString("81: 2D 00"));
    // The note started a live voice at 440 Hz, and its note-off released it.
    const VoiceSlot& voice = synth.voices[0];
    QVERIFY(IsActive(voice));
    QCOMPARE(voice.channel.load(), LiveChannel);
    QCOMPARE(voice.freq.load(), 440.0);
    QCOMPARE(voice.gate.load(), 0);
    port.Close();
  }
};

}  // namespace tavolin

QTEST_MAIN(tavolin::MidiInLogJackTest)
#include "MidiInLogJackTest.moc"
