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
constexpr uint32_t kGenerationStep = 0x8;
constexpr uint32_t kGenerationMask = ~(kGenerationStep - 1);

constexpr uint32_t Status(uint32_t word) { return word & kStatusMask; }
constexpr uint32_t Generation(uint32_t word) { return word & kGenerationMask; }

constexpr auto relaxed = std::memory_order_relaxed;

void FillSlot(VoiceSlot& slot, const NoteStart& n) {
  slot.startOffset.store(n.startOffset, relaxed);
  slot.freq.store(n.freq, relaxed);
  slot.amp.store(n.amp, relaxed);
  slot.lifeLeft.store(n.life, relaxed);
  slot.lifeTotal.store(n.life, relaxed);
  slot.counter.store(0, relaxed);
  slot.mode.store(n.mode, relaxed);
  slot.phase.store(0.0, relaxed);
  if (n.resetPhase2) slot.phase2.store(0.0, relaxed);
  slot.sweepPhase.store(0.0, relaxed);
  slot.sweepRate.store(n.sweepRate, relaxed);
  slot.resoY.store(0.0, relaxed);
  slot.resoV.store(0.0, relaxed);
  slot.gate.store(n.gate, relaxed);
  slot.channel.store(n.channel, relaxed);
  slot.note.store(n.note, relaxed);
}

void CopySlot(const VoiceSlot& slot, Voice& v) {
  v.active = 1;
  v.startOffset = slot.startOffset.load(relaxed);
  v.freq = slot.freq.load(relaxed);
  v.amp = slot.amp.load(relaxed);
  v.lifeLeft = slot.lifeLeft.load(relaxed);
  v.lifeTotal = slot.lifeTotal.load(relaxed);
  v.counter = slot.counter.load(relaxed);
  v.mode = slot.mode.load(relaxed);
  v.phase = slot.phase.load(relaxed);
  v.phase2 = slot.phase2.load(relaxed);
  v.holdValue = slot.holdValue.load(relaxed);
  v.sweepPhase = slot.sweepPhase.load(relaxed);
  v.sweepRate = slot.sweepRate.load(relaxed);
  v.resoY = slot.resoY.load(relaxed);
  v.resoV = slot.resoV.load(relaxed);
  v.gate = slot.gate.load(relaxed);
  v.channel = slot.channel.load(relaxed);
  v.note = slot.note.load(relaxed);
}

}  // namespace

bool IsActive(const VoiceSlot& slot) {
  const uint32_t word = slot.active.load(std::memory_order_acquire);
  return (Status(word) == kActive || Status(word) == kWritingBack) && !(word & kKillPending);
}

int StartVoice(VoiceTable& table, const NoteStart& note) {
  for (int i = 0; i < kVoiceCount; ++i) {
    VoiceSlot& slot = table[i];
    uint32_t word = slot.active.load(relaxed);
    while (Status(word) == kFree) {
      const uint32_t generation = Generation(word + kGenerationStep);
      if (slot.active.compare_exchange_weak(word, generation | kClaiming,
                                            std::memory_order_acquire, relaxed)) {
        // The claim must be visible before any field changes, so that a
        // renderer copying the previous voice sees the word move.
        std::atomic_thread_fence(std::memory_order_release);
        FillSlot(slot, note);
        slot.active.store(generation | kActive, std::memory_order_release);
        return i;
      }
    }
  }
  return -1;
}

void ReleaseVoice(VoiceSlot& slot) { slot.gate.store(0, relaxed); }

void KillVoice(VoiceSlot& slot) {
  uint32_t word = slot.active.load(relaxed);
  for (;;) {
    uint32_t killed;
    switch (Status(word)) {
      case kActive:
        killed = Generation(word) | kFree;
        break;
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

bool BeginRender(const VoiceSlot& slot, Voice& copy, VoiceTicket& ticket) {
  const uint32_t word = slot.active.load(std::memory_order_acquire);
  if (Status(word) != kActive) return false;
  CopySlot(slot, copy);
  // Seqlock-style check: a kill and a new claim during the copy would have
  // changed the word, and the copy could mix two voices.
  std::atomic_thread_fence(std::memory_order_acquire);
  if (slot.active.load(relaxed) != word) return false;
  ticket = word;
  return true;
}

bool BeginWriteBack(VoiceSlot& slot, VoiceTicket ticket) {
  uint32_t expected = ticket;
  return slot.active.compare_exchange_strong(expected, Generation(ticket) | kWritingBack,
                                             std::memory_order_acquire, relaxed);
}

void EndWriteBack(VoiceSlot& slot, VoiceTicket ticket, bool ended) {
  uint32_t expected = Generation(ticket) | kWritingBack;
  const uint32_t after = Generation(ticket) | (ended ? kFree : kActive);
  if (!slot.active.compare_exchange_strong(expected, after, std::memory_order_release, relaxed)) {
    // Only a kill can have changed the word meanwhile: carry it out now.
    slot.active.store(Generation(ticket) | kFree, std::memory_order_release);
  }
}

}  // namespace tavolin
