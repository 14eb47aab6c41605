#pragma once
// The window of a program without one (the offline renderer, the sound
// module): messages go to stderr as "PROGRAM: FILE: MESSAGE" (a song's) or
// "PROGRAM: MESSAGE"; titles and repaints go nowhere.

#include <atomic>
#include <string>

#include "midi/player/SongReporter.h"
#include "platform/WindowPort.h"

namespace tavolin {

class StderrSongReporter final : public SongReporter {
 public:
  // An empty `fileName` leaves the file out of the line.
  StderrSongReporter(const char* program, std::string fileName) : program_(program), fileName_(std::move(fileName)) {}
  void SetTitle(std::string_view) override {}
  void ShowError(std::string_view text, std::string_view caption) override;
  void PumpEvents() override {}
  bool EscapeHeld() override { return false; }
  int Errors() const { return errors_.load(); }

 private:
  const char* program_;
  std::string fileName_;
  std::atomic<int> errors_{0};
};

class StderrWindowPort final : public WindowPort {
 public:
  explicit StderrWindowPort(const char* program) : program_(program) {}
  void RequestRepaint() override {}
  void ShowError(std::string_view text, std::string_view caption) override;

 private:
  const char* program_;
};

}  // namespace tavolin
