#include "ui/KeyAutoRepeat.h"

#include <utility>

namespace tavolin {

// A pair's press follows its release at once; a busy machine may hand it to
// the window a few milliseconds late. 50 ms adds little to the 186 ms between
// a key and the speaker.
constexpr std::chrono::milliseconds kPairWait{50};

KeyAutoRepeat::KeyAutoRepeat(std::function<void(uint8_t vk)> keyUp) : keyUp_(std::move(keyUp)) {
  timer_.setSingleShot(true);
  timer_.setInterval(kPairWait);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Settle(); });
}

void KeyAutoRepeat::Press(uint8_t vk, uint64_t time) {
  if (holding_ && heldKey_ == vk && heldTime_ == time) {
    holding_ = false;
    timer_.stop();
    return;
  }
  Settle();
}

void KeyAutoRepeat::Release(uint8_t vk, uint64_t time) {
  Settle();
  holding_ = true;
  heldKey_ = vk;
  heldTime_ = time;
  timer_.start();
}

void KeyAutoRepeat::Settle() {
  if (!holding_) return;
  holding_ = false;
  timer_.stop();
  keyUp_(heldKey_);
}

}  // namespace tavolin
