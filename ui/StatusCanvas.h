#pragma once
// Text on the status display: the display's font, texts placed by their
// top-left corner, drawn on an opaque background.

#include <QColor>
#include <QFont>
#include <QPainter>

namespace tavolin {

// DejaVu Sans sized to the display's 12-pixel font height: at a 10-pixel em
// its character cell (ascent plus descent) is 11 pixels, the distance of the
// display's rows, and a voice line fits its 160-pixel column in the
// semi-condensed cut (fonts-dejavu-extra; without it Qt takes the normal cut).
QFont StatusFont();

class StatusCanvas {
 public:
  // Selects the font into the painter for as long as the canvas lives.
  StatusCanvas(QPainter& painter, const QFont& font);
  ~StatusCanvas();
  StatusCanvas(const StatusCanvas&) = delete;
  StatusCanvas& operator=(const StatusCanvas&) = delete;

  // `text` (Latin-1) with its top-left corner at (x, y).
  void Text(int x, int y, const char* text, QColor foreground = Qt::white, QColor background = Qt::black);

  QPainter& painter() { return painter_; }

 private:
  QPainter& painter_;
  int ascent_;
  QColor foreground_;
  QColor background_;
};

}  // namespace tavolin
