#pragma once
// Everything the synthesis engine shares between threads: the voice table,
// the note frequencies, the parameters and switches, the mode for new voices,
// the pitch offsets and the per-channel and unison tables.

#include <array>
#include <atomic>
#include <cstdint>

#include "synth/NoteFreqTable.h"
#include "synth/SynthParams.h"
#include "synth/Voice.h"

namespace tavolin {

inline constexpr int kMidiChannels = 16;
inline constexpr int kUnisonSaws = 8;
// Oscillator modes 0 to 14; any other renders silence.
inline constexpr int kOscillatorModes = 15;

struct Synth {
  Synth();

  VoiceTable voices;
  // Written once at start-up, before the first block; read-only afterwards.
  NoteFreqTable noteFreq{};
  SynthParams params;
  EngineSwitches switches;
  std::atomic<int32_t> CurrentMode{0};
  std::atomic<double> PitchBend{0.0};                             // semitones, live voices
  std::atomic<double> PitchShift{0.0};                            // semitones, all voices
  std::array<std::atomic<double>, kMidiChannels> ChannelBend{};   // semitones
  std::array<std::atomic<double>, kMidiChannels> ChannelLevel{};  // 0 until the first song starts
  std::array<std::atomic<int32_t>, kUnisonSaws> UnisonOffset{};   // samples
  std::array<std::atomic<double>, kUnisonSaws> UnisonRatio{};
};

}  // namespace tavolin
