#pragma once
// The dialogs' layout is given in dialog units of the dialogs' font: a
// quarter of its average character width across, an eighth of its height
// down. The average is that of the 52 Latin letters, rounded. A rectangle's
// corners are mapped, so controls that meet in units meet on the screen.

#include <QFont>
#include <QRect>

namespace tavolin {

// The font of every dialog, the Japanese UI font at 9 points.
QFont DialogFont();

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  QRect Rect(int x, int y, int w, int h) const { return {X(x), Y(y), X(x + w) - X(x), Y(y + h) - Y(y)}; }
  int X(int units) const { return (units * baseX_ + 2) / 4; }
  int Y(int units) const { return (units * baseY_ + 4) / 8; }

 private:
  int baseX_;
  int baseY_;
};

}  // namespace tavolin
