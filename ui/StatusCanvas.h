#pragma once
// Text on the status display: the display's font, texts placed by their
// top-left corner, drawn on an opaque background.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QStaticText>
#include <QString>

namespace tavolin {

// DejaVu Sans sized to the display's 12-pixel font height: at a 10-pixel em
// its character cell (ascent plus descent) is 11 pixels, the distance of the
// display's rows, and a voice line fits its 160-pixel column in the
// semi-condensed cut (fonts-dejavu-extra; without it Qt takes the normal cut).
QFont StatusFont();

// Texts laid out once and drawn again from their layout: the display draws
// the same few hundred texts several times a second, and laying them out
// again each time was most of what it cost at rest. Window thread only.
class StatusTextCache {
 public:
  struct Laid {
    QStaticText text;
    qreal advance = 0.0;  // the width drawText gives it
  };
  const Laid& Get(const QString& text, const QFont& font);

 private:
  // Texts that change (voice lines while notes play) come and go; a full
  // cache starts again.
  static constexpr qsizetype kMaxTexts = 4096;
  QHash<QString, Laid> laid_;
};

class StatusCanvas {
 public:
  // Selects the font into the painter for as long as the canvas lives.
  StatusCanvas(QPainter& painter, const QFont& font, StatusTextCache& texts);
  ~StatusCanvas();
  StatusCanvas(const StatusCanvas&) = delete;
  StatusCanvas& operator=(const StatusCanvas&) = delete;

  // `text` (Latin-1) with its top-left corner at (x, y).
  void Text(int x, int y, const char* text, QColor foreground = Qt::white, QColor background = Qt::black);

  QPainter& painter() { return painter_; }

 private:
  QPainter& painter_;
  StatusTextCache& texts_;
  int ascent_;
  QFontMetricsF metrics_;
  QColor foreground_;
};

}  // namespace tavolin
