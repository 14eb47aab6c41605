#include "ui/QtWindowPort.h"

#include <QMessageBox>
#include <QSocketNotifier>
#include <QString>
#include <utility>

namespace tavolin {

QtWindowPort::QtWindowPort(QWidget* window, std::function<void()> refresh)
    : window_(window), refresh_(std::move(refresh)) {
  if (doorbell_.Fd() >= 0) {
    notifier_ = new QSocketNotifier(doorbell_.Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QtWindowPort::OnDoorbell);
  }
}

QtWindowPort::~QtWindowPort() { delete notifier_; }

void QtWindowPort::RequestRepaint() { doorbell_.Ring(); }

void QtWindowPort::OnDoorbell() {
  doorbell_.Clear();
  if (!window_) return;
  if (refresh_)
    refresh_();
  else
    window_->update();
}

namespace {
QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

QWidget* QtWindowPort::Owner() const { return (window_ && window_->isVisible()) ? window_.data() : nullptr; }

void QtWindowPort::ShowError(std::string_view text, std::string_view caption) {
  QMessageBox::critical(Owner(), ToQString(caption), ToQString(text));
}

void QtWindowPort::ShowNotice(std::string_view text, std::string_view caption) {
  std::erase_if(notices_, [](const QPointer<QMessageBox>& box) { return box.isNull(); });
  for (const QPointer<QMessageBox>& box : notices_) {
    if (box->isVisible() && box->text() == ToQString(text) && box->windowTitle() == ToQString(caption)) {
      box->raise();  // the same notice again: the one still open says it
      return;
    }
  }
  auto* box = new QMessageBox(QMessageBox::Critical, ToQString(caption), ToQString(text), QMessageBox::Ok, Owner());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
  notices_.emplace_back(box);
}

}  // namespace tavolin
