#include "ui/QtSongReporter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QThread>

namespace tavolin {

namespace {
QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

QtSongReporter::QtSongReporter(QWidget* window) : window_(window) {
  if (window) latestTitle_ = window->windowTitle();
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

QtSongReporter::~QtSongReporter() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool QtSongReporter::OnWindowThread() const { return QThread::currentThread() == thread(); }

void QtSongReporter::SetTitle(std::string_view title) {
  const QString text = ToQString(title);
  const bool onWindowThread = OnWindowThread();
  {
    std::lock_guard hold(titleMutex_);
    if (text == latestTitle_) return;  // nothing visible would change
    latestTitle_ = text;
    if (!onWindowThread) {
      if (titleQueued_) return;  // the queued update will show this text
      titleQueued_ = true;
    }
  }
  if (onWindowThread) {
    if (window_) window_->setWindowTitle(text);
  } else {
    QMetaObject::invokeMethod(
        this, [this] { ShowLatestTitle(); }, Qt::QueuedConnection);
  }
}

void QtSongReporter::ShowLatestTitle() {
  QString text;
  {
    std::lock_guard hold(titleMutex_);
    text = latestTitle_;
    titleQueued_ = false;
  }
  if (window_) window_->setWindowTitle(text);
}

void QtSongReporter::ShowError(std::string_view text, std::string_view caption) {
  auto show = [window = window_, text = ToQString(text), caption = ToQString(caption)] {
    QMessageBox::critical(window && window->isVisible() ? window.data() : nullptr, caption, text);
  };
  if (OnWindowThread()) {
    show();
  } else {
    QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
  }
}

void QtSongReporter::PumpEvents() {
  if (OnWindowThread()) QCoreApplication::processEvents();
}

bool QtSongReporter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
        escapeHeld_.store(event->type() == QEvent::KeyPress, std::memory_order_relaxed);
      }
      break;
    }
    case QEvent::ApplicationDeactivate:
      escapeHeld_.store(false, std::memory_order_relaxed);  // its release goes to another program
      break;
    default: break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tavolin
