#pragma once
// The bridge between the threads that start, release and kill voices (MIDI
// input, sequencer, window) and the renderer on the audio thread. Every
// cross-thread hand-over of a voice goes through these functions.
//
// A slot's `active` word holds a status, a kill-pending bit, a release-pending
// bit and a generation that grows with every claim:
//   Free --ClaimVoice--> Claiming --(fields written)--> Active
//   Active --KillVoice--> Free
//   Active --BeginWriteBack--> WritingBack --EndWriteBack--> Active or Free
//   WritingBack --KillVoice--> WritingBack+kill --EndWriteBack--> Free
//   Active or WritingBack --ReleaseVoice--> +release (gate := 0) --> -release
// Writers never wait and never take a slot another writer holds; the renderer
// never renders a half-filled voice (it only sees Active, and rechecks the
// word after copying); its write-back lands only on the voice it copied (the
// generation must match), and a kill that arrives during the write-back is
// honoured when the write-back ends.
//
// A note-off finds its voice first and acts on it afterwards; in between the
// voice may end and its slot be claimed by another note. So release and kill
// name the voice by the VoiceId read when it was found, and leave a slot
// that holds another voice by then alone. The release-pending bit keeps the
// slot from being claimed again until the release's gate store is done, so
// that store can never land on the next voice.

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

// Names one voice of a slot: its generation.
using VoiceId = uint32_t;

// IsActive, and the id of the voice that is there.
bool FindActiveVoice(const VoiceSlot& slot, VoiceId& id);

// Claims the lowest free slot, fills it and hands it to the renderer.
// Returns the slot index, or -1 when all 128 are busy (the note is dropped);
// `id`, when given, receives the new voice's id.
int StartVoice(VoiceTable& table, const NoteStart& note, VoiceId* id = nullptr);

// Note-off of voice `id`: the envelope starts falling at the renderer's next
// sample. Nothing happens when the slot no longer holds that voice.
void ReleaseVoice(VoiceSlot& slot, VoiceId id);

// Ends voice `id` at once; nothing happens when the slot no longer holds it.
// Never lost: a kill that meets the renderer's write-back is carried out
// when the write-back ends.
void KillVoice(VoiceSlot& slot, VoiceId id);

// Ends whatever voice the slot holds (clearing the whole table).
void KillVoice(VoiceSlot& slot);

// Any thread: stops every voice at once (each slot keeps its other fields).
void ClearVoiceTable(VoiceTable& voices);

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

// The voice a ticket names, for KillVoice.
VoiceId TicketVoice(VoiceTicket ticket);

}  // namespace tavolin
