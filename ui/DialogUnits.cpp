#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace tavolin {

QFont DialogFont() { return QFont("IPAPGothic", 9); }

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  baseX_ = (metrics.horizontalAdvance(alphabet) + 26) / 52;
  baseY_ = metrics.height();
}

}  // namespace tavolin
