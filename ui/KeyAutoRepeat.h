#pragma once
// Tells a held key's auto-repeat from its real release. X repeats a held key
// as a release and a press that carry one timestamp. Qt marks such a release
// as auto-repeat only when the press has already reached its queue, which a
// busy machine does not promise, and a release taken for real ends the note
// that the press then starts again. So each release is held back until the
// next key event shows what it was: a press of the same key with the same
// timestamp makes it a repeat; any other key event, or a short wait with no
// key event at all, makes it a real release.

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>

namespace tavolin {

// Window thread only.
class KeyAutoRepeat {
 public:
  // `keyUp` carries out a real release of a virtual key.
  explicit KeyAutoRepeat(std::function<void(uint8_t vk)> keyUp);

  // A press of `vk` at X time `time`, before it is carried out: a release
  // held back is dropped when it is this press's pair, else carried out.
  void Press(uint8_t vk, uint64_t time);
  // A release of `vk` at `time`: carries out one held back before, holds
  // this one back.
  void Release(uint8_t vk, uint64_t time);
  // A key event that is neither: a release held back was real.
  void Settle();

  // How long a release waits for its pair's press.
  void SetWait(std::chrono::milliseconds wait) { timer_.setInterval(wait); }

 private:
  std::function<void(uint8_t vk)> keyUp_;
  QTimer timer_;
  bool holding_ = false;
  uint8_t heldKey_ = 0;
  uint64_t heldTime_ = 0;
};

}  // namespace tavolin
