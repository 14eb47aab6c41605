#include "synth/VoiceHandOff.h"

#include <atomic>

namespace tavolin {

namespace {

constexpr uint32_t kStatusMask = 0x3;
constexpr uint32_t kFree = 0;
constexpr uint32_t kActive = 1;
constexpr uint32_t kClaiming = 2;
constexpr uint32_t kWritingBack = 3;
constexpr uint32_t kKillPending = 0x4;
constexpr uint32_t kReleasePending = 0x8;
constexpr uint32_t kGenerationStep = 0x10;
constexpr uint32_t kGenerationMask = ~(kGenerationStep - 1);

constexpr uint32_t Status(uint32_t word) { return word & kStatusMask; }
constexpr uint32_t Generation(uint32_t word) { return word & kGenerationMask; }

constexpr auto relaxed = std::memory_order_relaxed;

// The fields are stored with release and copied with acquire: a renderer
// whose copy reads any field of a new voice then also sees that voice's claim
// in its recheck of the word, so it never renders a mix of two voices. (On
// x86 both are plain moves.)
void FillSlot(VoiceSlot& slot, const NoteStart& n) {
  slot.startOffset.store(n.startOffset, std::memory_order_release);
  slot.freq.store(n.freq, std::memory_order_release);
  slot.amp.store(n.amp, std::memory_order_release);
  slot.lifeLeft.store(n.life, std::memory_order_release);
  slot.lifeTotal.store(n.life, std::memory_order_release);
  slot.counter.store(0, std::memory_order_release);
  slot.mode.store(n.mode, std::memory_order_release);
  slot.phase.store(0.0, std::memory_order_release);
  if (n.resetPhase2) slot.phase2.store(0.0, std::memory_order_release);
  slot.sweepPhase.store(0.0, std::memory_order_release);
  slot.sweepRate.store(n.sweepRate, std::memory_order_release);
  slot.resoY.store(0.0, std::memory_order_release);
  slot.resoV.store(0.0, std::memory_order_release);
  slot.gate.store(n.gate, std::memory_order_release);
  slot.channel.store(n.channel, std::memory_order_release);
  slot.note.store(n.note, std::memory_order_release);
}

void CopySlot(const VoiceSlot& slot, Voice& v) {
  v.active = 1;
  v.startOffset = slot.startOffset.load(std::memory_order_acquire);
  v.freq = slot.freq.load(std::memory_order_acquire);
  v.amp = slot.amp.load(std::memory_order_acquire);
  v.lifeLeft = slot.lifeLeft.load(std::memory_order_acquire);
  v.lifeTotal = slot.lifeTotal.load(std::memory_order_acquire);
  v.counter = slot.counter.load(std::memory_order_acquire);
  v.mode = slot.mode.load(std::memory_order_acquire);
  v.phase = slot.phase.load(std::memory_order_acquire);
  v.phase2 = slot.phase2.load(std::memory_order_acquire);
  v.holdValue = slot.holdValue.load(std::memory_order_acquire);
  v.sweepPhase = slot.sweepPhase.load(std::memory_order_acquire);
  v.sweepRate = slot.sweepRate.load(std::memory_order_acquire);
  v.resoY = slot.resoY.load(std::memory_order_acquire);
  v.resoV = slot.resoV.load(std::memory_order_acquire);
  v.gate = slot.gate.load(std::memory_order_acquire);
  v.channel = slot.channel.load(std::memory_order_acquire);
  v.note = slot.note.load(std::memory_order_acquire);
}

}  // namespace

bool IsActive(const VoiceSlot& slot) {
  const uint32_t word = slot.active.load(std::memory_order_acquire);
  return (Status(word) == kActive || Status(word) == kWritingBack) && !(word & kKillPending);
}

bool FindActiveVoice(const VoiceSlot& slot, VoiceId& id) {
  const uint32_t word = slot.active.load(std::memory_order_acquire);
  if ((Status(word) != kActive && Status(word) != kWritingBack) || (word & kKillPending)) return false;
  id = Generation(word);
  return true;
}

int StartVoice(VoiceTable& table, const NoteStart& note, VoiceId* id) {
  for (int i = 0; i < kVoiceCount; ++i) {
    VoiceSlot& slot = table[i];
    uint32_t word = slot.active.load(relaxed);
    // A slot whose old voice is still being released is not free yet: the
    // release's gate store must not reach the new voice.
    while (Status(word) == kFree && !(word & kReleasePending)) {
      const uint32_t generation = Generation(word + kGenerationStep);
      if (slot.active.compare_exchange_weak(word, generation | kClaiming, std::memory_order_acquire, relaxed)) {
        FillSlot(slot, note);
        slot.active.store(generation | kActive, std::memory_order_release);
        if (id) *id = generation;
        return i;
      }
    }
  }
  return -1;
}

void ReleaseVoice(VoiceSlot& slot, VoiceId id) {
  uint32_t word = slot.active.load(relaxed);
  do {
    if (Generation(word) != id || (Status(word) != kActive && Status(word) != kWritingBack)) return;
    // Killed, or another release of this voice is storing the gate now.
    if (word & (kKillPending | kReleasePending)) return;
  } while (!slot.active.compare_exchange_weak(word, word | kReleasePending, std::memory_order_acquire, relaxed));
  slot.gate.store(0, relaxed);
  slot.active.fetch_and(~kReleasePending, std::memory_order_release);
}

void KillVoice(VoiceSlot& slot, VoiceId id) {
  uint32_t word = slot.active.load(relaxed);
  for (;;) {
    if (Generation(word) != id) return;
    uint32_t killed;
    switch (Status(word)) {
      case kActive: killed = Generation(word) | kFree | (word & kReleasePending); break;
      case kWritingBack:
        if (word & kKillPending) return;
        killed = word | kKillPending;
        break;
      default:
        // Free, or a voice still being filled: it starts after this kill.
        return;
    }
    if (slot.active.compare_exchange_weak(word, killed, std::memory_order_release, relaxed)) return;
  }
}

void KillVoice(VoiceSlot& slot) { KillVoice(slot, Generation(slot.active.load(relaxed))); }

bool BeginRender(const VoiceSlot& slot, Voice& copy, VoiceTicket& ticket) {
  // A release in progress only changes the gate, which is read live anyway.
  const uint32_t word = slot.active.load(std::memory_order_acquire) & ~kReleasePending;
  if (Status(word) != kActive) return false;
  CopySlot(slot, copy);
  // Seqlock-style check: a kill and a new claim during the copy would have
  // changed the word, and the copy could mix two voices.
  if ((slot.active.load(relaxed) & ~kReleasePending) != word) return false;
  ticket = word;
  return true;
}

bool BeginWriteBack(VoiceSlot& slot, VoiceTicket ticket) {
  uint32_t word = slot.active.load(relaxed);
  do {
    if ((word & ~kReleasePending) != ticket) return false;
  } while (!slot.active.compare_exchange_weak(word, (word & kReleasePending) | Generation(ticket) | kWritingBack,
                                              std::memory_order_acquire, relaxed));
  return true;
}

void EndWriteBack(VoiceSlot& slot, VoiceTicket ticket, bool ended) {
  uint32_t word = slot.active.load(relaxed);
  // Only a kill or a release can change the word meanwhile; a kill is
  // carried out now, a release in progress keeps its bit.
  for (;;) {
    const bool free = ended || (word & kKillPending);
    const uint32_t after = Generation(ticket) | (free ? kFree : kActive) | (word & kReleasePending);
    if (slot.active.compare_exchange_weak(word, after, std::memory_order_release, relaxed)) return;
  }
}

VoiceId TicketVoice(VoiceTicket ticket) { return Generation(ticket); }

void ClearVoiceTable(VoiceTable& voices) {
  for (VoiceSlot& slot : voices) KillVoice(slot);
}

}  // namespace tavolin
