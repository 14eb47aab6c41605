#include "ui/QtLiveInput.h"

#include <QCursor>
#include <QGuiApplication>

namespace tavolin {

LiveInputs ReadLiveInputs() {
  const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
  const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
  return LiveInputs{keys.testFlag(Qt::ShiftModifier), keys.testFlag(Qt::ControlModifier),
                    buttons.testFlag(Qt::LeftButton), buttons.testFlag(Qt::MiddleButton),
                    buttons.testFlag(Qt::RightButton)};
}

ScreenPoint QtCursorPort::Position() {
  const QPoint p = QCursor::pos();
  return ScreenPoint{p.x(), p.y()};
}

void QtCursorPort::MoveTo(ScreenPoint point) { QCursor::setPos(point.x, point.y); }

}  // namespace tavolin
