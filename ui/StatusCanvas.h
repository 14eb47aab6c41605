#pragma once
// Text on the status display: the display's font, texts placed by their
// top-left corner, drawn on an opaque background.

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QRectF>
#include <QStaticText>
#include <QString>

#include "ui/StatusFrame.h"

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
    QRectF ink;           // where its glyphs and background reach, from its top-left corner
  };
  const Laid& Get(const QString& text, const QFont& font);

 private:
  // Texts that change (voice lines while notes play) come and go; a full
  // cache starts again.
  static constexpr qsizetype kMaxTexts = 4096;
  QHash<QString, Laid> laid_;
};

// Puts texts into a picture of the display.
class StatusCanvas {
 public:
  StatusCanvas(StatusFrame& frame, const QFont& font, StatusTextCache& texts);

  // `text` (Latin-1) with its top-left corner at (x, y).
  void Text(int x, int y, const char* text, QColor foreground = Qt::white, QColor background = Qt::black);

 private:
  StatusFrame& frame_;
  const QFont& font_;
  StatusTextCache& texts_;
  QFontMetricsF metrics_;
  qreal top_;  // from the row's y to the text's top-left corner
};

}  // namespace tavolin
