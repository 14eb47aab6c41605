#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <mutex>

#include "midi/player/SongReporter.h"

namespace tavolin {

// Loading a song, as the main window shows it: progress in the title bar,
// errors in message boxes owned by the window. From any other thread both
// are posted to the window thread and never waited for; titles are
// coalesced: a text equal to the last one is dropped, and at most one title
// update is queued at a time, showing the latest text when it runs. Escape
// is tracked by an application-wide filter into a flag that a conversion on
// any thread reads, since the converter asks for the key's state rather
// than for key events.
class QtSongReporter final : public QObject, public SongReporter {
  Q_OBJECT

 public:
  explicit QtSongReporter(QWidget* window);
  ~QtSongReporter() override;

  void SetTitle(std::string_view title) override;
  void ShowError(std::string_view text, std::string_view caption) override;
  void PumpEvents() override;
  bool EscapeHeld() override { return escapeHeld_.load(std::memory_order_relaxed); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool OnWindowThread() const;
  void ShowLatestTitle();

  QPointer<QWidget> window_;
  std::atomic<bool> escapeHeld_{false};
  std::mutex titleMutex_;  // held only to read or replace the two below
  QString latestTitle_;
  bool titleQueued_ = false;
};

}  // namespace tavolin
