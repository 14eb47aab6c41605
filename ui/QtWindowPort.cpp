#include "ui/QtWindowPort.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QMessageBox>
#include <QSocketNotifier>
#include <QString>
#include <cstdint>

namespace tavolin {

QtWindowPort::QtWindowPort(QWidget* window) : window_(window) {
  doorbell_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (doorbell_ >= 0) {
    notifier_ = new QSocketNotifier(doorbell_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QtWindowPort::OnDoorbell);
  }
}

QtWindowPort::~QtWindowPort() {
  delete notifier_;
  if (doorbell_ >= 0) close(doorbell_);
}

void QtWindowPort::RequestRepaint() {
  if (doorbell_ < 0) return;
  const uint64_t one = 1;
  // A full counter only means a repaint is already pending.
  [[maybe_unused]] const ssize_t written = write(doorbell_, &one, sizeof one);
}

void QtWindowPort::OnDoorbell() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = read(doorbell_, &count, sizeof count);
  if (window_) window_->update();
}

namespace {
QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

QWidget* QtWindowPort::Owner() const { return (window_ && window_->isVisible()) ? window_.data() : nullptr; }

void QtWindowPort::ShowError(std::string_view text, std::string_view caption) {
  QMessageBox::critical(Owner(), ToQString(caption), ToQString(text));
}

void QtWindowPort::ShowNotice(std::string_view text, std::string_view caption) {
  auto* box = new QMessageBox(QMessageBox::Critical, ToQString(caption), ToQString(text), QMessageBox::Ok, Owner());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

}  // namespace tavolin
