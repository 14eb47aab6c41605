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

const StatusTextCache::Laid& StatusTextCache::Get(const QString& text, const QFont& font) {
  auto found = laid_.find(text);
  if (found != laid_.end()) return *found;
  if (laid_.size() >= kMaxTexts) laid_.clear();
  Laid laid{QStaticText(text), QFontMetricsF(font).horizontalAdvance(text)};
  laid.text.setTextFormat(Qt::PlainText);
  laid.text.setPerformanceHint(QStaticText::AggressiveCaching);
  laid.text.prepare(QTransform(), font);
  return *laid_.insert(text, laid);
}

StatusCanvas::StatusCanvas(QPainter& painter, const QFont& font, StatusTextCache& texts)
    : painter_(painter), texts_(texts), metrics_(font) {
  painter_.save();
  painter_.setFont(font);
  ascent_ = painter_.fontMetrics().ascent();
  foreground_ = Qt::white;
  painter_.setPen(foreground_);
}

StatusCanvas::~StatusCanvas() { painter_.restore(); }

void StatusCanvas::Text(int x, int y, const char* text, QColor foreground, QColor background) {
  if (foreground != foreground_) {
    foreground_ = foreground;
    painter_.setPen(foreground_);
  }
  // The opaque background as drawText paints it: the advance width by the
  // font's ascent plus descent, around the baseline.
  const StatusTextCache::Laid& laid = texts_.Get(QString::fromLatin1(text), painter_.font());
  const qreal top = y + ascent_ - metrics_.ascent();
  painter_.fillRect(QRectF(x, top, laid.advance, metrics_.ascent() + metrics_.descent()), background);
  painter_.drawStaticText(QPointF(x, top), laid.text);
}

}  // namespace tavolin
