#pragma once
// Live MIDI input: each short message starts or releases live voices, sets
// a parameter, the oscillator mode or the pitch bend, and is logged. Runs on
// the MIDI thread without a lock, alongside the sequencer, the keyboard and
// the renderer.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "midi/NoteNumbering.h"
#include "midi/input/MidiLogSink.h"

namespace tavolin {

struct Synth;
class OutputPosition;

// All notes off (controller 123) and all sound off (120) on any channel:
// a host sends them when its transport stops; the window leaves them alone.
enum class ChannelModeMessages { Ignored, Obeyed };

class MidiInProc {
 public:
  MidiInProc(Synth& synth, const OutputPosition& output, ChannelModeMessages channelMode = ChannelModeMessages::Ignored)
      : synth_(synth), output_(output), channelMode_(channelMode) {}

  // [MIDI thread] One short message; missing data bytes count as 0, bytes
  // past the third are ignored.
  void OnMessage(const uint8_t* bytes, size_t count);
  void OnMessage(uint8_t status, uint8_t data1, uint8_t data2);
  // The same, in the form of the port's handler.
  static void Receive(void* self, const uint8_t* bytes, size_t count) {
    static_cast<MidiInProc*>(self)->OnMessage(bytes, count);
  }

  // [window thread] Where messages are logged from the next one on; null
  // logs nothing.
  void SetLogSink(MidiLogSink* sink) { log_.store(sink, std::memory_order_release); }

  // [MIDI thread] Whether all notes off and all sound off are obeyed from
  // the next message on.
  void SetChannelModeMessages(ChannelModeMessages channelMode) {
    channelMode_.store(channelMode, std::memory_order_relaxed);
  }

  // [MIDI thread] How note numbers map to pitches from the next note-on on;
  // LiveInput until set.
  void SetNumbering(NoteNumbering numbering) { numbering_.store(numbering, std::memory_order_relaxed); }
  NoteNumbering Numbering() const { return numbering_.load(std::memory_order_relaxed); }

 private:
  void NoteOff(uint8_t note);
  void NoteOn(uint8_t note, uint8_t velocity);
  void Controller(uint8_t number, uint8_t value);
  void ProgramChange(uint8_t program);
  void AllNotesOff();

  Synth& synth_;
  const OutputPosition& output_;
  std::atomic<ChannelModeMessages> channelMode_;
  std::atomic<NoteNumbering> numbering_{NoteNumbering::LiveInput};
  std::atomic<MidiLogSink*> log_{nullptr};
};

}  // namespace tavolin
