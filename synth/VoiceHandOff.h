#pragma once
// The bridge between the threads that start, release and kill voices (MIDI
// input, sequencer, window) and the renderer on the audio thread. Every
// cross-thread hand-over of a voice goes through these functions.
//
// A slot's `active` word holds a status, a kill-pending bit and a generation
// that grows with every claim:
//   Free --ClaimVoice--> Claiming --(fields written)--> Active
//   Active --KillVoice--> Free
//   Active --BeginWriteBack--> WritingBack --EndWriteBack--> Active or Free
//   WritingBack --KillVoice--> WritingBack+kill --EndWriteBack--> Free
// Writers never wait and never take a slot another writer holds; the renderer
// never renders a half-filled voice (it only sees Active, and rechecks the
// word after copying); its write-back lands only on the voice it copied (the
// generation must match), and a kill that arrives during the write-back is
// honoured when the write-back ends.

#include <cstdint>

#include "synth/Voice.h"

namespace tavolin {

// What a note start writes. The other fields start at 0, except holdValue,
// which the slot keeps from its previous voice, and phase2, which it keeps
// unless resetPhase2 is set.
struct NoteStart {
  int32_t startOffset = 0;
  double freq = 0.0;
  double amp = 0.0;
  double life = 0.0;  // lifeLeft and lifeTotal
  double sweepRate = 0.0;
  int32_t gate = 1;
  int32_t mode = 0;
  int32_t channel = LiveChannel;
  int32_t note = 0;
  bool resetPhase2 = false;
};

// True while the slot holds a started voice (what readers call `active` 1).
bool IsActive(const VoiceSlot& slot);

// Claims the lowest free slot, fills it and hands it to the renderer.
// Returns the slot index, or -1 when all 128 are busy (the note is dropped).
int StartVoice(VoiceTable& table, const NoteStart& note);

// Note-off: the envelope starts falling at the renderer's next sample.
void ReleaseVoice(VoiceSlot& slot);

// Ends the voice at once. Never lost: a kill that meets the renderer's
// write-back is carried out when the write-back ends.
void KillVoice(VoiceSlot& slot);

// [audio thread] The renderer's side. A ticket names the voice that was copied.
using VoiceTicket = uint32_t;

// Copies an active voice; false when the slot is free, not yet started, or
// changed while it was being copied (it is then skipped for this block).
bool BeginRender(const VoiceSlot& slot, Voice& copy, VoiceTicket& ticket);

// Locks the copied voice for the write-back; false when it was killed or
// replaced meanwhile, in which case the results must be dropped.
bool BeginWriteBack(VoiceSlot& slot, VoiceTicket ticket);

// Ends the write-back: the voice stays active, or is freed when the render
// ended it (`ended`) or a kill came in during the write-back.
void EndWriteBack(VoiceSlot& slot, VoiceTicket ticket, bool ended);

}  // namespace tavolin
