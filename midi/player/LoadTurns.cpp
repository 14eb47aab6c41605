#include "midi/player/LoadTurns.h"

#include <utility>

namespace tavolin {

void LoadTurns::Run(std::function<void()> load) {
  waiting_.push_back(std::move(load));
  if (running_) return;
  running_ = true;
  while (!waiting_.empty()) {
    const std::function<void()> next = std::move(waiting_.front());
    waiting_.pop_front();
    next();
  }
  running_ = false;
}

}  // namespace tavolin
