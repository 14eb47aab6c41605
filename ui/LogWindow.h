#pragma once
#include <QListWidget>
#include <QStringList>

class QMenu;

namespace tavolin {

// The list of incoming MIDI messages: a top-level window owned by the main
// window, one line per message, newest at the bottom, with a right-click
// menu whose single command "Clear" empties it. It keeps the newest
// kMaxLines lines: a device that sends clock would otherwise fill the memory
// in the end. Once lines have gone, a first line says how many.
class LogWindow final : public QListWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxLines = 100000;

  explicit LogWindow(QWidget* owner);

  // Appends the lines, drops the oldest beyond kMaxLines, and puts the caret
  // on the last line, scrolled into view once; the selection is left alone.
  void AppendLines(const QStringList& lines);
  void Clear();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void DropOldest();

  QMenu* menu_;
  qint64 dropped_ = 0;
};

// "%02X: %02X %02X": status, first and second data byte.
QString LogLineText(uint8_t status, uint8_t data1, uint8_t data2);

}  // namespace tavolin
