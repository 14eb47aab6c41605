#pragma once
// The main window's keyboard at the level of virtual keys: the Shift, Ctrl
// and plain command tables, the mode refresh of sounding voices, and the
// two-row computer-keyboard piano. Qt-free, so it is tested key by key.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

#include "audio/MasterChain.h"
#include "audio/WaveRing.h"
#include "params/ParamTable.h"
#include "synth/Synth.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

// Commands of other subsystems that the tables call. An empty hook does
// nothing: that subsystem is not there (yet) or not attached.
struct KeyHooks {
  std::function<void()> openMidiFile;      // F9
  std::function<void()> closeMidiFile;     // F11
  std::function<void()> playSong;          // Space
  std::function<void()> stopSong;          // Return
  std::function<void()> skipAhead;         // Right
  std::function<void()> nextPlaylistFile;  // Page Down
  std::function<void()> openVocoderWave;   // Shift+VK_OEM_5
  std::function<void()> startVocoder;      // Shift+VK_OEM_7
  std::function<void(bool visible)> showSawUnisonDialog;
  std::function<void()> toggleRecording;  // Shift+W
  std::function<void()> toggleLogWindow;  // Shift+L
  std::function<void()> toggleMidiInput;  // Shift+M
};

inline constexpr int32_t kHighestOctave = 7;

// The piano's own state; window thread only.
struct Piano {
  struct StartedVoice {
    int slot = -1;  // -1: none
    VoiceId id = 0;
  };
  int32_t KeyboardOctave = 2;
  // By note, the voice the piano started and no key-up has released yet, so
  // that a lost focus can release what the window will never see the key-up
  // of, and only that voice: MIDI input may have released it and started the
  // note again meanwhile.
  std::array<StartedVoice, kVoiceCount> sounding;
  bool AnySounding() const {
    return std::any_of(sounding.begin(), sounding.end(), [](const StartedVoice& v) { return v.slot >= 0; });
  }
};

struct KeyContext {
  Synth& synth;
  MasterChain& master;
  WaveRing& ring;  // the device's played position; the restart
  ParamEditor& editor;
  Piano& piano;
  const KeyHooks& hooks;
};

// A key-down (first press or auto-repeat), with the modifiers' live state.
void KeyDown(KeyContext& c, uint8_t vk, bool shiftDown, bool ctrlDown);

// A key-up, whatever the modifiers: releases the piano note of this key
// under the octave in force now.
void KeyUp(KeyContext& c, uint8_t vk);

// The window lost the keyboard: every note the piano still holds is released.
void ReleasePianoNotes(KeyContext& c);

// The semitone of a piano key (the first entry of the note map with this
// virtual key), or -1 for a key that is not on the piano.
int PianoSemitone(uint8_t vk);

}  // namespace tavolin
