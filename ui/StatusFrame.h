#pragma once
// One picture of the status display, kept as the list of its drawing steps.
// The next picture is compared with it step by step, and only where steps
// differ is the window painted again: at rest that is a counter or two
// instead of the whole window. Window thread only.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QStaticText>
#include <cstdint>
#include <span>
#include <vector>

namespace tavolin {

class StatusFrame {
 public:
  void Clear();
  bool Empty() const { return steps_.empty(); }

  // fillRect.
  void Fill(const QRectF& area, QColor colour);
  // drawRect(area) with a cosmetic `pen` and a `brush`: the outline covers
  // area.right() + 1 and area.bottom() + 1.
  void Outline(const QRect& area, QColor pen, QColor brush);
  // drawPolyline with a cosmetic pen.
  void Polyline(std::span<const QPoint> points, QColor colour);
  // drawStaticText at `topLeft` in the frame's font; `ink` is where its
  // glyphs may reach.
  void Text(const QPointF& topLeft, const QStaticText& text, const QRectF& ink, QColor colour);

  // The part of the window whose pixels may differ between `before` and
  // this picture.
  QRegion ChangedFrom(const StatusFrame& before) const;

  // Draws the steps that reach into `area`, clipped to it, in `font` for
  // the texts.
  void Paint(QPainter& painter, const QFont& font, const QRegion& area) const;

 private:
  enum class Kind : uint8_t { Fill, Outline, Polyline, Text };
  struct Step {
    Kind kind;
    QRect bounds;  // every pixel the step can touch
    QRectF shape;  // Fill and Outline: the rectangle; Text: the top-left corner
    QRgb colour;
    QRgb brush = 0;                 // Outline only
    uint32_t first = 0, count = 0;  // Polyline: its points in points_
    QStaticText text{};
  };

  bool Same(const Step& a, const StatusFrame& other, const Step& b) const;
  void DrawStep(QPainter& painter, const Step& step) const;

  std::vector<Step> steps_;
  std::vector<QPoint> points_;
};

}  // namespace tavolin
