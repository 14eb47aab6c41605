#include "ui/StatusCanvas.h"

#include <QFontMetrics>

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
  const QFontMetricsF metrics(font);
  Laid laid{QStaticText(text), metrics.horizontalAdvance(text), {}};
  const QRectF background(0.0, 0.0, laid.advance, metrics.ascent() + metrics.descent());
  laid.ink = background.united(metrics.boundingRect(text).translated(0.0, metrics.ascent()));
  laid.text.setTextFormat(Qt::PlainText);
  laid.text.setPerformanceHint(QStaticText::AggressiveCaching);
  laid.text.prepare(QTransform(), font);
  return *laid_.insert(text, laid);
}

// A row's y is where drawText would put the top of the integer ascent; the
// laid-out text starts at the top of its exact one.
StatusCanvas::StatusCanvas(StatusFrame& frame, const QFont& font, StatusTextCache& texts)
    : frame_(frame),
      font_(font),
      texts_(texts),
      metrics_(font),
      top_(QFontMetrics(font).ascent() - metrics_.ascent()) {}

void StatusCanvas::Text(int x, int y, const char* text, QColor foreground, QColor background) {
  // The opaque background as drawText paints it: the advance width by the
  // font's ascent plus descent, around the baseline.
  const StatusTextCache::Laid& laid = texts_.Get(QString::fromLatin1(text), font_);
  const QPointF topLeft(x, y + top_);
  frame_.Fill(QRectF(topLeft, QSizeF(laid.advance, metrics_.ascent() + metrics_.descent())), background);
  frame_.Text(topLeft, laid.text, laid.ink.translated(topLeft), foreground);
}

}  // namespace tavolin
