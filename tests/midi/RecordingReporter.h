#pragma once
// A SongReporter that remembers what it was asked to show.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "midi/player/SongReporter.h"

namespace tavolin::test {

class RecordingReporter final : public SongReporter {
 public:
  void SetTitle(std::string_view title) override {
    if (onTitle) onTitle(title);
    std::lock_guard hold(mutex_);
    titles_.emplace_back(title);
  }
  void ShowError(std::string_view text, std::string_view caption) override {
    std::lock_guard hold(mutex_);
    errors_.emplace_back(std::string(caption) + ": " + std::string(text));
  }
  void PumpEvents() override { ++pumps; }
  // Escape goes down at the given EscapeHeld call (0: never).
  bool EscapeHeld() override { return escapeFromCall != 0 && ++escapeCalls >= escapeFromCall; }

  std::vector<std::string> Titles() {
    std::lock_guard hold(mutex_);
    return titles_;
  }
  std::vector<std::string> Errors() {
    std::lock_guard hold(mutex_);
    return errors_;
  }
  // Runs on the caller's thread; set before the load that calls it.
  std::function<void(std::string_view)> onTitle;
  int pumps = 0;
  int escapeFromCall = 0;
  int escapeCalls = 0;

 private:
  std::mutex mutex_;
  std::vector<std::string> titles_;
  std::vector<std::string> errors_;
};

}  // namespace tavolin::test
