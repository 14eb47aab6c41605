#include "ui/LogWindow.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace tavolin {

LogWindow::LogWindow(QWidget* owner) : QListWidget(owner), menu_(new QMenu(this)) {
  // A window of its own that stays above its owner and goes with it.
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("Log window");
  // Every line has the same height: lets the list lay out a long log quickly.
  setUniformItemSizes(true);
  move(300, 200);
  menu_->addAction("Clear", this, &LogWindow::Clear);
}

void LogWindow::AppendLines(const QStringList& lines) {
  if (lines.isEmpty()) return;
  addItems(lines);
  DropOldest();
  QListWidgetItem* newest = item(count() - 1);
  setCurrentItem(newest, QItemSelectionModel::NoUpdate);
  scrollToItem(newest, QAbstractItemView::PositionAtBottom);
}

void LogWindow::Clear() {
  clear();
  dropped_ = 0;
}

// The oldest lines go in one removal; the notice above them counts them all.
void LogWindow::DropOldest() {
  const int notice = dropped_ > 0 ? 1 : 0;
  const int excess = count() - notice - kMaxLines;
  if (excess <= 0) return;
  if (notice == 0) insertItem(0, QString());
  model()->removeRows(1, excess);
  dropped_ += excess;
  item(0)->setText(QString("(%1 older lines dropped: the window keeps the newest %2)").arg(dropped_).arg(kMaxLines));
}

// The global position is signed: screens left of or above the primary one
// have negative coordinates. From the keyboard, Qt supplies a position of
// its own, which is used unchanged.
void LogWindow::contextMenuEvent(QContextMenuEvent* event) {
  menu_->popup(event->globalPos());
  event->accept();
}

QString LogLineText(uint8_t status, uint8_t data1, uint8_t data2) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char text[] = {kHex[status >> 4], kHex[status & 15], ':', ' ', kHex[data1 >> 4], kHex[data1 & 15], ' ',
                       kHex[data2 >> 4],  kHex[data2 & 15]};
  return QString::fromLatin1(text, sizeof text);
}

}  // namespace tavolin
