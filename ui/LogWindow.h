#pragma once
#include <QListWidget>
#include <QStringList>

class QMenu;

namespace tavolin {

// The list of incoming MIDI messages: a top-level window owned by the main
// window, one line per message, newest at the bottom, with a right-click
// menu whose single command "Clear" empties it.
class LogWindow final : public QListWidget {
  Q_OBJECT

 public:
  explicit LogWindow(QWidget* owner);

  // Appends the lines and scrolls once so that the last one is in view; the
  // selection is left alone.
  void AppendLines(const QStringList& lines);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QMenu* menu_;
};

// "%02X: %02X %02X": status, first and second data byte.
QString LogLineText(uint8_t status, uint8_t data1, uint8_t data2);

}  // namespace tavolin
