#pragma once
// Where MIDI input hands each message for the log window. Called on the MIDI
// thread: an implementation must never block or allocate.

#include <cstdint>

namespace tavolin {

class MidiLogSink {
 public:
  virtual ~MidiLogSink() = default;
  virtual void Log(uint8_t status, uint8_t data1, uint8_t data2) = 0;
};

}  // namespace tavolin
