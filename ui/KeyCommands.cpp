#include "ui/KeyCommands.h"

#include <span>

#include "audio/RenderBlock.h"
#include "platform/Keys.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
constexpr double kRectwStep = static_cast<double>(0.1f);

struct KeyCommand {
  uint8_t vk;
  void (*run)(KeyContext&, bool ctrlDown);
};

struct NoteKey {
  uint8_t vk;
  int32_t semitone;
};

// Lower row (19 keys), then the upper row an octave higher (21 keys); the
// first entry with a key wins.
// clang-format off
constexpr NoteKey KeyboardNoteMap[] = {
    {'Z', 0}, {'S', 1}, {'X', 2}, {'D', 3}, {'C', 4}, {'V', 5}, {'G', 6}, {'B', 7}, {'H', 8}, {'N', 9},
    {'J', 10}, {'M', 11}, {VK_OEM_COMMA, 12}, {'L', 13}, {VK_OEM_PERIOD, 14}, {VK_OEM_PLUS, 15},
    {VK_OEM_2, 16}, {VK_OEM_102, 17}, {VK_OEM_6, 18},
    {'Q', 12}, {'2', 13}, {'W', 14}, {'3', 15}, {'E', 16}, {'R', 17}, {'5', 18}, {'T', 19}, {'6', 20},
    {'Y', 21}, {'7', 22}, {'U', 23}, {'I', 24}, {'9', 25}, {'O', 26}, {'0', 27}, {'P', 28},
    {VK_OEM_3, 29}, {VK_OEM_7, 30}, {VK_OEM_4, 31}, {VK_OEM_5, 32},
};
// clang-format on

void Toggle(std::atomic<int32_t>& flag) { flag.store(flag.load(relaxed) == 0 ? 1 : 0, relaxed); }

template <int32_t Mode>
void SelectMode(KeyContext& c, bool) {
  c.synth.CurrentMode.store(Mode, relaxed);
  // Mode 9 (the unison saws) brings up its dialog; every other mode hides it.
  if (c.hooks.showSawUnisonDialog) c.hooks.showSawUnisonDialog(Mode == 9);
}

template <auto Member>
void ToggleSwitch(KeyContext& c, bool) {
  Toggle(c.synth.switches.*Member);
}

template <auto Member>
void ToggleMaster(KeyContext& c, bool) {
  Toggle(c.master.*Member);
}

template <int Direction>
void Step(KeyContext& c, bool ctrlDown) {
  StepParam(c.editor, Direction, ctrlDown);
}

template <int Delta>
void Select(KeyContext& c, bool) {
  SelectRow(c.editor, Delta);
}

template <int Direction>
void StepRectw(KeyContext& c, bool) {
  auto& rectw = c.synth.params.rectwFact;
  rectw.store(rectw.load(relaxed) + Direction * kRectwStep, relaxed);
}

template <int32_t Octave>
void SetOctave(KeyContext& c, bool) {
  c.piano.KeyboardOctave = Octave;
}

template <std::function<void()> KeyHooks::*Hook>
void CallHook(KeyContext& c, bool) {
  if (c.hooks.*Hook) (c.hooks.*Hook)();
}

void CycleMasterFilter(KeyContext& c, bool) {
  const int32_t lpf = c.master.LPFOn.load(relaxed);
  const int32_t hpf = c.master.HPFOn.load(relaxed);
  if (lpf == 0 && hpf == 0) {
    c.master.LPFOn.store(1, relaxed);
  } else if (lpf != 0 && hpf == 0) {
    c.master.LPFOn.store(0, relaxed);
    c.master.HPFOn.store(1, relaxed);
  } else if (lpf == 0) {
    c.master.HPFOn.store(0, relaxed);
  }  // both on: left as it is
}

void ClearVoices(KeyContext& c, bool) { ClearVoiceTable(c.synth.voices); }

void RestartSound(KeyContext& c, bool) {
  if (c.ring.device) RestartSoundSystem(c.ring);
}

// clang-format off
constexpr KeyCommand kShiftTable[] = {
    {'1', SelectMode<0>}, {'2', SelectMode<1>}, {'3', SelectMode<2>}, {'4', SelectMode<3>},
    {'5', SelectMode<4>}, {'6', SelectMode<5>}, {'7', SelectMode<6>}, {'8', SelectMode<7>},
    {'9', SelectMode<8>}, {'0', SelectMode<9>},
    {'D', ToggleSwitch<&EngineSwitches::DetuneOn>},
    {'R', ToggleSwitch<&EngineSwitches::RingOn>},
    {'T', ToggleMaster<&MasterChain::DistortionOn>},
    {'Z', ToggleMaster<&MasterChain::LPFResoOn>},
    {'X', ToggleSwitch<&EngineSwitches::VoiceResoOn>},
    {'C', ToggleSwitch<&EngineSwitches::TimedResoOn>},
    {'A', ToggleSwitch<&EngineSwitches::ArpeggioOn>},
    {VK_UP, Step<+1>}, {VK_DOWN, Step<-1>},
    {VK_RIGHT, Select<+1>}, {VK_LEFT, Select<-1>},
    {VK_HOME, StepRectw<+1>}, {VK_END, StepRectw<-1>},
    {'W', CallHook<&KeyHooks::toggleRecording>},
    {VK_OEM_5, CallHook<&KeyHooks::openVocoderWave>},
    {VK_OEM_7, CallHook<&KeyHooks::startVocoder>},
    {'M', CallHook<&KeyHooks::toggleMidiInput>},
    {'L', CallHook<&KeyHooks::toggleLogWindow>},
};
// clang-format on

// clang-format off
constexpr KeyCommand kCtrlTable[] = {
    {'1', SelectMode<10>}, {'2', SelectMode<11>}, {'3', SelectMode<12>}, {'4', SelectMode<13>},
    {'5', SelectMode<14>}, {'6', SelectMode<15>}, {'7', SelectMode<16>}, {'8', SelectMode<17>},
    {'9', SelectMode<18>}, {'0', SelectMode<19>},
    {VK_OEM_MINUS, ToggleMaster<&MasterChain::DisplayRefreshOn>},
};
// clang-format on

// clang-format off
constexpr KeyCommand kPlainTable[] = {
    {VK_F1, SetOctave<0>}, {VK_F1 + 1, SetOctave<1>}, {VK_F1 + 2, SetOctave<2>}, {VK_F1 + 3, SetOctave<3>},
    {VK_F1 + 4, SetOctave<4>}, {VK_F1 + 5, SetOctave<5>}, {VK_F1 + 6, SetOctave<6>}, {VK_F1 + 7, SetOctave<7>},
    {VK_F1 + 8, CallHook<&KeyHooks::openMidiFile>},
    {VK_F1 + 10, CallHook<&KeyHooks::closeMidiFile>},
    {VK_SPACE, CallHook<&KeyHooks::playSong>},
    {VK_RETURN, CallHook<&KeyHooks::stopSong>},
    {VK_RIGHT, CallHook<&KeyHooks::skipAhead>},
    {VK_NEXT, CallHook<&KeyHooks::nextPlaylistFile>},
    {VK_BACK, ClearVoices},
    {VK_DELETE, RestartSound},
    {VK_INSERT, ToggleMaster<&MasterChain::HowlingOn>},
    {VK_PRIOR, CycleMasterFilter},
};
// clang-format on

void Run(std::span<const KeyCommand> table, KeyContext& c, uint8_t vk, bool ctrlDown) {
  for (const KeyCommand& command : table) {
    if (command.vk == vk) {
      command.run(c, ctrlDown);
      return;
    }
  }
}

void RefreshModes(KeyContext& c) {
  const int32_t mode = c.synth.CurrentMode.load(relaxed);
  for (VoiceSlot& slot : c.synth.voices) {
    if (IsActive(slot)) slot.mode.store(mode, relaxed);
  }
}

// The first sounding live voice with this note index whose key is held, and
// its id.
VoiceSlot* FindHeldLiveNote(VoiceTable& voices, int32_t note, VoiceId& id) {
  for (VoiceSlot& slot : voices) {
    if (FindActiveVoice(slot, id) && slot.channel.load(relaxed) == LiveChannel && slot.note.load(relaxed) == note &&
        slot.gate.load(relaxed) == 1) {
      return &slot;
    }
  }
  return nullptr;
}

void PianoNoteOn(KeyContext& c, uint8_t vk) {
  const int semitone = PianoSemitone(vk);
  if (semitone < 0) return;
  const int32_t n = semitone + 12 * c.piano.KeyboardOctave;
  // Already sounding: this is how a held key's auto-repeat is swallowed.
  VoiceId sounding = 0;
  if (FindHeldLiveNote(c.synth.voices, n, sounding)) return;
  const uint64_t position = c.ring.device ? c.ring.device->PlayedSamples() : 0;
  NoteStart start;
  start.startOffset = static_cast<int32_t>(position & 1023u);
  start.freq = c.synth.noteFreq[static_cast<size_t>(n)];
  start.amp = 12288.0;
  start.life = c.synth.params.Life.load(relaxed);
  start.sweepRate = 1.0 / c.synth.params.LPFResoPlus.load(relaxed);
  start.gate = 1;
  start.mode = c.synth.CurrentMode.load(relaxed);
  start.channel = LiveChannel;
  start.note = n;
  Piano::StartedVoice started;
  started.slot = StartVoice(c.synth.voices, start, &started.id);
  if (started.slot >= 0) c.piano.sounding[static_cast<size_t>(n)] = started;
}

bool ReleaseLiveNote(KeyContext& c, int32_t note) {
  VoiceId id = 0;
  VoiceSlot* slot = FindHeldLiveNote(c.synth.voices, note, id);
  if (!slot) return false;
  ReleaseVoice(*slot, id);
  Piano::StartedVoice& pianos = c.piano.sounding[static_cast<size_t>(note)];
  if (pianos.slot == slot - c.synth.voices && pianos.id == id) pianos = {};
  return true;
}

}  // namespace

int PianoSemitone(uint8_t vk) {
  for (const NoteKey& key : KeyboardNoteMap) {
    if (key.vk == vk) return key.semitone;
  }
  return -1;
}

void KeyDown(KeyContext& c, uint8_t vk, bool shiftDown, bool ctrlDown) {
  // A modifier's own key-down already counts as the modifier being down.
  shiftDown = shiftDown || vk == VK_SHIFT;
  ctrlDown = ctrlDown || vk == VK_CONTROL;
  if (shiftDown) {
    Run(kShiftTable, c, vk, ctrlDown);
    RefreshModes(c);
  } else if (ctrlDown) {
    Run(kCtrlTable, c, vk, ctrlDown);
    RefreshModes(c);
  } else {
    Run(kPlainTable, c, vk, ctrlDown);
    PianoNoteOn(c, vk);
  }
}

void KeyUp(KeyContext& c, uint8_t vk) {
  // Every map entry of the key, in order, until one of them releases a voice.
  for (const NoteKey& key : KeyboardNoteMap) {
    if (key.vk == vk && ReleaseLiveNote(c, key.semitone + 12 * c.piano.KeyboardOctave)) return;
  }
}

void ReleasePianoNotes(KeyContext& c) {
  for (Piano::StartedVoice& voice : c.piano.sounding) {
    if (voice.slot >= 0) ReleaseVoice(c.synth.voices[voice.slot], voice.id);
    voice = {};
  }
}

}  // namespace tavolin
