#pragma once
// The offline renderer's window: messages go to stderr as
// "tavolin-render: FILE: MESSAGE"; titles and repaints go nowhere.

#include <atomic>
#include <string>

#include "midi/player/SongReporter.h"
#include "platform/WindowPort.h"

namespace tavolin {

class StderrSongReporter final : public SongReporter {
 public:
  explicit StderrSongReporter(std::string fileName) : fileName_(std::move(fileName)) {}
  void SetTitle(std::string_view) override {}
  void ShowError(std::string_view text, std::string_view caption) override;
  void PumpEvents() override {}
  bool EscapeHeld() override { return false; }
  int Errors() const { return errors_.load(); }

 private:
  std::string fileName_;
  std::atomic<int> errors_{0};
};

// "tavolin-render: FILE: can't write: REASON"
void ReportCantWrite(std::string_view path, std::string_view reason);

class StderrWindowPort final : public WindowPort {
 public:
  void RequestRepaint() override {}
  void ShowError(std::string_view text, std::string_view caption) override;
};

}  // namespace tavolin
