#pragma once
// Loads started on the window thread (a song, the vocoder's modulator)
// handle the window's events while they run, so a key or a drop can ask for
// another load meanwhile. Run inside the first, the second would install its
// file before the first, older one, which would then replace it. Instead a
// load asked for while one runs waits for it: loads run one after another in
// the order asked for, so the file chosen last is the one that stays.
// Window thread only.

#include <deque>
#include <functional>

namespace tavolin {

class LoadTurns {
 public:
  // Runs `load` now, or, while a load runs, after it and the loads waiting
  // before it. A waiting load runs before the running one's caller returns.
  void Run(std::function<void()> load);

 private:
  bool running_ = false;
  std::deque<std::function<void()>> waiting_;
};

}  // namespace tavolin
