// MIDI input on its own thread while the sequencer plays a song, the
// keyboard starts and releases live notes and the audio thread renders.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "host/Lifecycle.h"
#include "midi/input/MidiInProc.h"
#include "midi/player/Player.h"
#include "synth/VoiceHandOff.h"
#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

class QuietWindow final : public WindowPort {
 public:
  void RequestRepaint() override {}
  void ShowError(std::string_view, std::string_view) override {}
};

class CountingLog final : public MidiLogSink {
 public:
  void Log(uint8_t, uint8_t, uint8_t) override { lines.fetch_add(1, std::memory_order_relaxed); }
  std::atomic<int> lines{0};
};

// Many short notes on three channels, one every 2 ms.
EventList BusySong() {
  EventList song;
  for (uint32_t i = 0; i < 2000; ++i) {
    const uint32_t key = 40 + i % 40;
    song.push_back({.type = NoteOn, .time = 2 * i, .channel = i % 3, .key = key, .level = 100});
    song.push_back({.type = NoteOff, .time = 2 * i + 5, .channel = i % 3, .key = key});
  }
  return song;
}

bool HeldLive(const VoiceTable& voices) {
  for (const VoiceSlot& s : voices) {
    if (IsActive(s) && s.channel.load() == LiveChannel && s.gate.load() == 1) return true;
  }
  return false;
}

TEST(MidiInThreads, NotesControllersAndProgramsAlongsideSequencerAndKeyboard) {
  QuietWindow window;
  VirtualClock clock;
  auto app = std::make_unique<App>(window, clock);
  StartUpOptions options;
  options.openDevice = [](const WaveFormat&, MessageQueue& queue) {
    return WaveOutOpenResult{std::make_unique<VirtualWaveOut>(queue), {}};
  };
  ASSERT_EQ(StartUp(*app, options), StartUpResult::Running);
  InstallSong(app->player, BusySong(), "busy.mid", true);

  MidiInProc midi{app->synth, app->position};
  CountingLog log;
  std::atomic<bool> stop{false};
  std::thread midiThread([&] {
    for (int i = 0; !stop.load(); ++i) {
      const auto note = static_cast<uint8_t>(40 + i % 30);
      midi.OnMessage(0x90, note, 100);
      midi.OnMessage(0xB0, static_cast<uint8_t>(i % 2 ? 72 : 74), static_cast<uint8_t>(i));
      midi.OnMessage(0xC0, static_cast<uint8_t>(i % 4), 0);
      midi.OnMessage(0xE0, 0, static_cast<uint8_t>(i % 128));
      midi.OnMessage(0x80, note, 0);
    }
  });
  std::thread keyboard([&] {  // the piano's way: start, then release what it finds
    while (!stop.load()) {
      NoteStart start;
      start.note = 45;
      start.life = 0.01;
      StartVoice(app->synth.voices, start);
      for (VoiceSlot& slot : app->synth.voices) {
        VoiceId id = 0;
        if (FindActiveVoice(slot, id) && slot.channel.load() == LiveChannel && slot.note.load() == 45) {
          ReleaseVoice(slot, id);
        }
      }
    }
  });
  for (int ms = 0; ms < 4000; ms += 10) {
    if (ms == 2000) midi.SetLogSink(&log);  // switched while messages flow
    clock.Advance(10);
    std::this_thread::yield();
  }
  // The MIDI thread may not have run at all yet on a busy machine.
  EXPECT_TRUE(test::WaitUntil([&] { return log.lines.load() > 0; }));
  stop.store(true);
  midiThread.join();
  keyboard.join();
  EXPECT_FALSE(HeldLive(app->synth.voices)) << "every live note-on met its note-off";
  EXPECT_EQ(ShutDown(*app), ShutDownResult::Clean);
}

}  // namespace
}  // namespace tavolin
