#include "synth/ProcessVoice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/WaveFormat.h"
#include "synth/RenderNumerics.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr double kRingPeak = 0.1875;  // of full scale: 6144 sample units

// Plain mode: every field the renderer changes goes back to the slot.
void WriteBackPlain(VoiceSlot& slot, VoiceTicket ticket, const Voice& w, bool free) {
  if (!BeginWriteBack(slot, ticket)) return;
  slot.startOffset.store(w.startOffset, kRelaxed);
  slot.counter.store(w.counter, kRelaxed);
  slot.phase.store(w.phase, kRelaxed);
  slot.holdValue.store(w.holdValue, kRelaxed);
  slot.lifeLeft.store(w.lifeLeft, kRelaxed);
  slot.sweepPhase.store(w.sweepPhase, kRelaxed);
  slot.resoY.store(w.resoY, kRelaxed);
  slot.resoV.store(w.resoV, kRelaxed);
  EndWriteBack(slot, ticket, free);
}

// The gate is read live, so a release lands on the very next sample.
void ProcessPlain(int16_t* block, VoiceSlot& slot, const RenderInputs& in) {
  Voice w;
  VoiceTicket ticket;
  if (!BeginRender(slot, w, ticket)) return;
  w.active = 1;
  RenderVoice(block, kBlockSamples, w, in, &slot.gate);
  WriteBackPlain(slot, ticket, w, w.active == 0);
}

// Detune mode: two renderings into the block, down and up by DetuneFact,
// sharing the envelope; the upward one keeps its own phase in phase2.
void ProcessDetune(int16_t* block, VoiceSlot& slot, const RenderInputs& in) {
  Voice original;
  VoiceTicket ticket;
  if (!BeginRender(slot, original, ticket)) return;
  original.active = 1;
  const std::atomic<double>& detune = in.synth.params.DetuneFact;

  Voice w = original;
  w.freq = original.freq * (1.0 - detune.load(kRelaxed));
  RenderVoice(block, kBlockSamples, w, in);
  const double downPhase = w.phase;

  w.active = original.active;
  w.startOffset = original.startOffset;
  w.lifeLeft = original.lifeLeft;
  w.counter = original.counter;
  w.phase = original.phase2;
  w.freq = original.freq * (1.0 + detune.load(kRelaxed));
  RenderVoice(block, kBlockSamples, w, in);

  if (!BeginWriteBack(slot, ticket)) return;
  slot.phase2.store(w.phase, kRelaxed);
  slot.lifeLeft.store(w.lifeLeft, kRelaxed);
  slot.startOffset.store(w.startOffset, kRelaxed);
  slot.counter.store(w.counter, kRelaxed);
  slot.phase.store(downPhase, kRelaxed);
  EndWriteBack(slot, ticket, w.active == 0);
}

// Adds the product of the two ring renderings, renormalised to a peak of
// 6144, wrapping (not saturating) at the 16-bit range. A product that is zero
// throughout has no peak to scale to: the voice then adds nothing.
void MixRingProduct(int16_t* block, const RingBuffers& ring) {
  // (b / 32768) x (a / 32768) is exactly the integer a x b times 2^-30, so
  // the peak is found on the integers.
  int32_t peak = 0;
  for (uint32_t i = 0; i < kBlockSamples; ++i)
    peak = std::max(peak, std::abs(int32_t{ring.scratchA[i]} * ring.scratchB[i]));
  if (peak == 0) return;
  const double k = kRingPeak / (peak * 0x1p-30);
  for (uint32_t i = 0; i < kBlockSamples; ++i) {
    ring.product[i] = (ring.scratchB[i] / 32768.0) * (ring.scratchA[i] / 32768.0) * k;
    // |block / 32768 + product| stays below 1.19, well inside int32.
    block[i] = WrapToInt16(static_cast<int32_t>((block[i] / 32768.0 + ring.product[i]) * 32768.0));
  }
}

// Ring mode: renderings at freq x (1 - DetuneFact) and freq x (1 + ringFact)
// into the scratch buffers, both from the slot's phase.
void ProcessRing(int16_t* block, VoiceSlot& slot, const RenderInputs& in, const RingBuffers& ring) {
  Voice original;
  VoiceTicket ticket;
  if (!BeginRender(slot, original, ticket)) return;
  original.active = 1;
  std::fill_n(ring.scratchA, kBlockSamples, int16_t{0});
  std::fill_n(ring.scratchB, kBlockSamples, int16_t{0});

  Voice w = original;
  w.freq = original.freq * (1.0 - in.synth.params.DetuneFact.load(kRelaxed));
  RenderVoice(ring.scratchA, kBlockSamples, w, in);

  w.lifeLeft = original.lifeLeft;
  w.active = original.active;
  w.counter = original.counter;
  w.phase = original.phase;
  w.startOffset = original.startOffset;
  w.freq = original.freq * (1.0 + in.synth.params.ringFact.load(kRelaxed));
  RenderVoice(ring.scratchB, kBlockSamples, w, in);

  if (BeginWriteBack(slot, ticket)) {
    slot.lifeLeft.store(w.lifeLeft, kRelaxed);
    slot.startOffset.store(w.startOffset, kRelaxed);
    slot.counter.store(w.counter, kRelaxed);
    slot.phase.store(w.phase, kRelaxed);
    EndWriteBack(slot, ticket, w.active == 0);
  }
  MixRingProduct(block, ring);
}

}  // namespace

void ProcessVoice(int16_t* block, VoiceSlot& slot, const RenderInputs& in, const RingBuffers& ring) {
  const EngineSwitches& sw = in.synth.switches;
  if (sw.RingOn.load(kRelaxed) != 0)
    ProcessRing(block, slot, in, ring);
  else if (sw.DetuneOn.load(kRelaxed) != 0)
    ProcessDetune(block, slot, in);
  else
    ProcessPlain(block, slot, in);
}

bool DrawsNoise(int32_t mode) { return mode == 5 || mode == 13; }

void ProcessVoicePiece(int16_t* block, uint32_t from, uint32_t to, VoiceSlot& slot, const RenderInputs& in,
                       PieceVoice& piece) {
  Voice w;
  VoiceTicket ticket;
  if (!BeginRender(slot, w, ticket)) return;
  const uint32_t start = std::max(static_cast<uint32_t>(std::max(w.startOffset, 0)), from);
  if (ticket != piece.ticket) {
    if (start >= to || DrawsNoise(w.mode)) return;
    piece = {ticket, w.mode, {}, false};
  }
  if (piece.ended) return;
  // The block goes on as it began: a mode changed meanwhile counts from the next block.
  w.active = 1;
  w.mode = piece.mode;
  w.startOffset = static_cast<int32_t>(start);
  RenderVoice(block, to, w, in, &slot.gate, piece.filter);
  // The slot of a voice that has ended stays taken until the block ends, as
  // it does while a whole block is rendered: a note started meanwhile gets
  // the slot it would get there.
  piece.ended = w.active == 0;
  WriteBackPlain(slot, ticket, w, false);
}

void EndVoicePieces(VoiceSlot& slot, PieceVoice& piece) {
  if (piece.ended) KillVoice(slot, TicketVoice(piece.ticket));
  piece = {};
}

}  // namespace tavolin
