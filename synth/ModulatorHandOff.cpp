#include "synth/ModulatorHandOff.h"

#include <algorithm>

namespace tavolin {

namespace {
constexpr auto relaxed = std::memory_order_relaxed;
// The pointer and the hazard word pair up like the two flags of Dekker's
// algorithm: either the audio thread sees the new pointer after announcing
// the old one, or the window thread sees the announcement. Sequential
// consistency on these four accesses gives exactly that.
constexpr auto ordered = std::memory_order_seq_cst;

constexpr uint32_t SerialOf(uint64_t request) { return static_cast<uint32_t>(request >> 32); }
}  // namespace

ModulatorHandOff::~ModulatorHandOff() { delete current_.load(relaxed); }

void ModulatorHandOff::Install(std::unique_ptr<ModulatorData> data) {
  if (data) data->serial = ++lastSerial_;
  ModulatorData* old = current_.exchange(data.release(), ordered);
  if (old) retired_.emplace_back(old);
  Reclaim();
}

bool ModulatorHandOff::Start() {
  const ModulatorData* loaded = current_.load(relaxed);
  if (!loaded) return false;
  startRequest_.store(uint64_t{loaded->serial} << 32 | ++startCount_, std::memory_order_release);
  Reclaim();
  return true;
}

void ModulatorHandOff::Reclaim() {
  const ModulatorData* inUse = hazard_.load(ordered);
  std::erase_if(retired_, [inUse](const std::unique_ptr<ModulatorData>& m) { return m.get() != inUse; });
}

const int16_t* ModulatorHandOff::FrameForThisBlock() {
  // The request first: a start made after an install then finds that
  // install's pointer (or a newer one) below.
  const uint64_t request = startRequest_.load(std::memory_order_acquire);
  const ModulatorData* m = current_.load(ordered);
  hazard_.store(m, ordered);
  if (current_.load(ordered) != m) {
    // Replaced just now: the new one starts stopped, and its start (if one
    // came already) is taken at the next block.
    playingSerial_ = 0;
    position_.store(-1, relaxed);
    return nullptr;
  }
  const uint32_t serial = m ? m->serial : 0;
  int32_t position = position_.load(relaxed);
  if (serial != playingSerial_) {
    playingSerial_ = serial;
    position = -1;
  }
  if (request != takenRequest_) {
    takenRequest_ = request;
    if (m && SerialOf(request) == serial) position = 0;
  }
  if (rewind_) {
    rewind_ = false;
    if (m) position = 0;
  }
  if (m && position >= 0) {
    const uint32_t wholeFrames = (m->bytes / 2) / kModulatorFrame * kModulatorFrame;
    if (static_cast<uint32_t>(position) >= wholeFrames) position = -1;  // played out
  }
  position_.store(position, relaxed);
  return (m && position >= 0) ? m->samples.get() + position : nullptr;
}

void ModulatorHandOff::AdvanceFrame() {
  // Past the largest position the frames of a 4 GiB modulator can reach, it
  // has played out anyway.
  const int64_t next = int64_t{position_.load(relaxed)} + kModulatorFrame;
  position_.store(next > INT32_MAX ? -1 : static_cast<int32_t>(next), relaxed);
}

}  // namespace tavolin
