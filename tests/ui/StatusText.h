#pragma once
// A text of the status display read back from a picture of it: the text is
// drawn alone at its place and that cell compared with the picture.

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>

#include "ui/StatusCanvas.h"
#include "ui/StatusDisplay.h"
#include "ui/StatusFrame.h"

namespace tavolin {

// `text` as the display draws it at (x, y), compared over its cell (at most maxWidth wide).
inline bool ShowsText(const QImage& picture, int x, int y, const char* text, QColor fg = QColor(255, 255, 255),
                      QColor bg = QColor(0, 0, 0), int maxWidth = 1140) {
  QImage alone(picture.size(), picture.format());
  alone.fill(Qt::black);
  {
    StatusFrame frame;
    StatusTextCache texts;
    StatusCanvas(frame, StatusFont(), texts).Text(x, y, text, fg, bg);
    QPainter painter(&alone);
    frame.Paint(painter, StatusFont(), QRegion(alone.rect()));
  }
  const QFontMetrics metrics(StatusFont());
  const int width = std::min(maxWidth, metrics.horizontalAdvance(QString::fromLatin1(text)));
  const QRect cell(x, y, width, metrics.ascent() + metrics.descent());
  return picture.copy(cell) == alone.copy(cell);
}

}  // namespace tavolin
