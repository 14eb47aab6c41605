#include "ui/StatusCanvas.h"

#include <QFontMetrics>
#include <QString>

namespace tavolin {

namespace {
constexpr int kFontPixelSize = 10;  // DejaVu Sans: ascent 9 + descent 2
}  // namespace

QFont StatusFont() {
  QFont font("DejaVu Sans");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kFontPixelSize);
  font.setStretch(QFont::SemiCondensed);
  return font;
}

StatusCanvas::StatusCanvas(QPainter& painter, const QFont& font) : painter_(painter) {
  painter_.save();
  painter_.setFont(font);
  painter_.setBackgroundMode(Qt::OpaqueMode);
  ascent_ = painter_.fontMetrics().ascent();
  foreground_ = Qt::white;
  background_ = Qt::black;
  painter_.setPen(foreground_);
  painter_.setBackground(background_);
}

StatusCanvas::~StatusCanvas() { painter_.restore(); }

void StatusCanvas::Text(int x, int y, const char* text, QColor foreground, QColor background) {
  if (foreground != foreground_) {
    foreground_ = foreground;
    painter_.setPen(foreground_);
  }
  if (background != background_) {
    background_ = background;
    painter_.setBackground(background_);
  }
  painter_.drawText(QPoint(x, y + ascent_), QString::fromLatin1(text));
}

}  // namespace tavolin
