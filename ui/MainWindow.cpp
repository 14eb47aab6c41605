#include "ui/MainWindow.h"

#include <QPainter>

namespace tavolin {

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setObjectName("TAVOMainWnd");
  setWindowTitle("Tavolin - Tavo/the synthesizer test");
  // The window paints every pixel itself: no background erase before a paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(kClientWidth, kClientHeight);
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

}  // namespace tavolin
