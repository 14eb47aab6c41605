#include "midi/input/MidiInProc.h"

#include "midi/OutputPosition.h"
#include "synth/Synth.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

namespace {
constexpr auto relaxed = std::memory_order_relaxed;
constexpr double kOver127 = 0.007874015748031496;
constexpr double kNineOver127 = 0.07086614173228346;
constexpr double kDetuneStep = static_cast<double>(0.001f);
constexpr double kBendPerStep = 0.000244140625;  // 1/4096 semitone
constexpr uint8_t kAllSoundOff = 120;
constexpr uint8_t kAllNotesOff = 123;
}  // namespace

void MidiInProc::OnMessage(const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  OnMessage(bytes[0], count > 1 ? bytes[1] : 0, count > 2 ? bytes[2] : 0);
}

// Each step tests the kind itself, in this order; the channel is ignored.
void MidiInProc::OnMessage(uint8_t status, uint8_t data1, uint8_t data2) {
  const uint8_t kind = status & 0xF0;
  if (kind == 0x80 || (kind == 0x90 && data2 == 0)) NoteOff(data1);
  if (kind == 0x90 && data2 != 0) NoteOn(data1, data2);
  if (kind == 0xB0) Controller(data1, data2);
  if (kind == 0xC0) ProgramChange(data1);
  if (kind == 0xE0) synth_.PitchBend.store((data2 * 128.0 + data1 - 8192.0) * kBendPerStep, relaxed);
  if (MidiLogSink* log = log_.load(std::memory_order_acquire)) log->Log(status, data1, data2);
}

// Releases every held live voice of the note, keyboard voices included.
void MidiInProc::NoteOff(uint8_t note) {
  for (VoiceSlot& slot : synth_.voices) {
    VoiceId id = 0;
    if (FindActiveVoice(slot, id) && slot.channel.load(relaxed) == LiveChannel && slot.note.load(relaxed) == note &&
        slot.gate.load(relaxed) == 1) {
      ReleaseVoice(slot, id);
    }
  }
}

void MidiInProc::NoteOn(uint8_t note, uint8_t velocity) {
  const uint64_t position = output_.Played();
  NoteStart start;
  start.startOffset = static_cast<int32_t>(position & 1023u);
  // The table ends at 119 (already past the highest frequency the output
  // can carry); notes past it and data bytes with bit 7 set sound as 119.
  start.freq = synth_.noteFreq[NoteFreqIndex(note, Numbering())];
  start.amp = velocity * 96.0;
  start.life = synth_.params.Life.load(relaxed);
  start.sweepRate = 0.5;
  start.gate = 1;
  start.mode = synth_.CurrentMode.load(relaxed);
  start.channel = LiveChannel;
  start.note = note;
  StartVoice(synth_.voices, start);  // with all slots busy the note is dropped
}

void MidiInProc::Controller(uint8_t number, uint8_t value) {
  if (channelMode_.load(std::memory_order_relaxed) == ChannelModeMessages::Obeyed) {
    if (number == kAllSoundOff) ClearVoiceTable(synth_.voices);
    if (number == kAllNotesOff) AllNotesOff();
  }
  SynthParams& p = synth_.params;
  const double v = value;
  switch (number) {
    case 1: p.ModPower.store(v * kOver127, relaxed); break;
    case 2: p.DetuneFact.store(v * kDetuneStep, relaxed); break;
    case 3: p.rectwFact.store(v * kNineOver127 + 2.0, relaxed); break;
    case 71: p.LPFResoAmp.store(v * kNineOver127 + 1.0, relaxed); break;
    case 72: p.Life.store(v * kOver127, relaxed); break;
    case 74: p.LPFResoCut.store(v * v + 200.0, relaxed); break;
    default: break;
  }
}

// Every held voice fades out as its note-off would have it.
void MidiInProc::AllNotesOff() {
  for (VoiceSlot& slot : synth_.voices) {
    VoiceId id = 0;
    if (FindActiveVoice(slot, id) && slot.gate.load(relaxed) == 1) ReleaseVoice(slot, id);
  }
}

// Sounding voices change mode at once, sequencer voices included.
void MidiInProc::ProgramChange(uint8_t program) {
  synth_.CurrentMode.store(program, relaxed);
  for (VoiceSlot& slot : synth_.voices) {
    if (IsActive(slot)) slot.mode.store(program, relaxed);
  }
}

}  // namespace tavolin
