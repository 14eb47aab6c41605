#pragma once
// Live MIDI input: each short message starts or releases live voices, sets
// a parameter, the oscillator mode or the pitch bend, and is logged. Runs on
// the MIDI thread without a lock, alongside the sequencer, the keyboard and
// the renderer.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "midi/input/MidiLogSink.h"

namespace tavolin {

struct Synth;
class OutputPosition;

class MidiInProc {
 public:
  MidiInProc(Synth& synth, const OutputPosition& output) : synth_(synth), output_(output) {}

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

 private:
  void NoteOff(uint8_t note);
  void NoteOn(uint8_t note, uint8_t velocity);
  void Controller(uint8_t number, uint8_t value);
  void ProgramChange(uint8_t program);

  Synth& synth_;
  const OutputPosition& output_;
  std::atomic<MidiLogSink*> log_{nullptr};
};

}  // namespace tavolin
