#include "ui/StatusFrame.h"

#include <QPen>
#include <algorithm>

namespace tavolin {

void StatusFrame::Clear() {
  steps_.clear();
  points_.clear();
}

void StatusFrame::Fill(const QRectF& area, QColor colour) {
  steps_.push_back({Kind::Fill, area.normalized().toAlignedRect(), area, colour.rgba()});
}

void StatusFrame::Outline(const QRect& area, QColor pen, QColor brush) {
  const QRect r = area.normalized();
  Step step{Kind::Outline, QRect(r.x(), r.y(), r.width() + 1, r.height() + 1), QRectF(area), pen.rgba()};
  step.brush = brush.rgba();
  steps_.push_back(step);
}

void StatusFrame::Polyline(std::span<const QPoint> points, QColor colour) {
  if (points.empty()) return;
  int left = points[0].x(), right = left, top = points[0].y(), bottom = top;
  for (const QPoint& p : points) {
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    top = std::min(top, p.y());
    bottom = std::max(bottom, p.y());
  }
  // A cosmetic line covers its end points: one pixel more on every side
  // leaves room for the rasteriser's rounding.
  Step step{Kind::Polyline, QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-1, -1, 1, 1), QRectF(),
            colour.rgba()};
  step.first = static_cast<uint32_t>(points_.size());
  step.count = static_cast<uint32_t>(points.size());
  points_.insert(points_.end(), points.begin(), points.end());
  steps_.push_back(step);
}

void StatusFrame::Text(const QPointF& topLeft, const QStaticText& text, const QRectF& ink, QColor colour) {
  Step step{Kind::Text, ink.toAlignedRect().adjusted(-1, -1, 1, 1), QRectF(topLeft, QSizeF()), colour.rgba()};
  step.text = text;
  steps_.push_back(step);
}

bool StatusFrame::Same(const Step& a, const StatusFrame& other, const Step& b) const {
  if (a.kind != b.kind || a.bounds != b.bounds || a.shape != b.shape || a.colour != b.colour || a.brush != b.brush)
    return false;
  switch (a.kind) {
    case Kind::Polyline: {
      if (a.count != b.count) return false;
      const auto mine = points_.begin() + a.first;
      return std::equal(mine, mine + a.count, other.points_.begin() + b.first);
    }
    case Kind::Text: return a.text == b.text;
    default: return true;
  }
}

QRegion StatusFrame::ChangedFrom(const StatusFrame& before) const {
  QRegion changed;
  const size_t common = std::min(steps_.size(), before.steps_.size());
  for (size_t i = 0; i < common; ++i) {
    if (Same(steps_[i], before, before.steps_[i])) continue;
    changed += steps_[i].bounds;
    changed += before.steps_[i].bounds;
  }
  // Steps only one of the pictures has (a note preview of another length,
  // a button letter): everything they cover.
  for (size_t i = common; i < steps_.size(); ++i) changed += steps_[i].bounds;
  for (size_t i = common; i < before.steps_.size(); ++i) changed += before.steps_[i].bounds;
  return changed;
}

void StatusFrame::DrawStep(QPainter& painter, const Step& step) const {
  switch (step.kind) {
    case Kind::Fill: painter.fillRect(step.shape, QColor::fromRgba(step.colour)); return;
    case Kind::Outline:
      painter.setPen(QPen(QColor::fromRgba(step.colour), 0));
      painter.setBrush(QColor::fromRgba(step.brush));
      painter.drawRect(step.shape.toRect());
      return;
    case Kind::Polyline:
      painter.setPen(QPen(QColor::fromRgba(step.colour), 0));
      painter.drawPolyline(points_.data() + step.first, static_cast<int>(step.count));
      return;
    case Kind::Text:
      painter.setPen(QColor::fromRgba(step.colour));
      painter.drawStaticText(step.shape.topLeft(), step.text);
      return;
  }
}

void StatusFrame::Paint(QPainter& painter, const QFont& font, const QRegion& area) const {
  painter.save();
  painter.setClipRegion(area, Qt::IntersectClip);
  painter.setFont(font);
  for (const Step& step : steps_) {
    if (area.intersects(step.bounds)) DrawStep(painter, step);
  }
  painter.restore();
}

}  // namespace tavolin
