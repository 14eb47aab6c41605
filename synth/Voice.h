#pragma once
// One voice of the voice table. `Voice` is a plain copy that the renderer
// works on; `VoiceSlot` is the table entry that several threads share, every
// field an atomic read and written with relaxed order. The hand-over between
// the threads that start voices and the renderer is VoiceHandOff.h.

#include <atomic>
#include <cstdint>

namespace tavolin {

// Every shared double is one word that the audio thread reads without a
// lock; an atomic that hid a lock could make it wait.
static_assert(std::atomic<double>::is_always_lock_free);

inline constexpr int kVoiceCount = 128;
inline constexpr int32_t LiveChannel = 255;  // MIDI input and computer-keyboard voices

struct Voice {
  int32_t active = 0;       // 0 = free; 1 = in use
  int32_t startOffset = 0;  // first sample of the next block at which the voice sounds
  double freq = 0.0;        // Hz
  double amp = 0.0;         // peak amplitude in sample units
  double lifeLeft = 0.0;    // envelope level in seconds
  double lifeTotal = 0.0;   // release time in seconds
  uint32_t counter = 0;
  int32_t mode = 0;
  double phase = 0.0;  // half-cycles
  double phase2 = 0.0;
  double holdValue = 0.0;
  double sweepPhase = 0.0;  // cycles
  double sweepRate = 0.0;   // Hz
  double resoY = 0.0;
  double resoV = 0.0;
  int32_t gate = 0;  // 1 = key held
  int32_t channel = 0;
  int32_t note = 0;
};

struct VoiceSlot {
  // Not a plain 0/1: it also carries the hand-over state and a generation
  // (VoiceHandOff.h). Read it with IsActive().
  std::atomic<uint32_t> active{0};
  std::atomic<int32_t> startOffset{0};
  std::atomic<double> freq{0.0};
  std::atomic<double> amp{0.0};
  std::atomic<double> lifeLeft{0.0};
  std::atomic<double> lifeTotal{0.0};
  std::atomic<uint32_t> counter{0};
  std::atomic<int32_t> mode{0};
  std::atomic<double> phase{0.0};
  std::atomic<double> phase2{0.0};
  std::atomic<double> holdValue{0.0};
  std::atomic<double> sweepPhase{0.0};
  std::atomic<double> sweepRate{0.0};
  std::atomic<double> resoY{0.0};
  std::atomic<double> resoV{0.0};
  std::atomic<int32_t> gate{0};
  std::atomic<int32_t> channel{0};
  std::atomic<int32_t> note{0};
};

using VoiceTable = VoiceSlot[kVoiceCount];

}  // namespace tavolin
