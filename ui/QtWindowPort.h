#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/Doorbell.h"
#include "platform/WindowPort.h"

class QMessageBox;
class QSocketNotifier;

namespace tavolin {

// The engine's view of the main window. A repaint request from the audio
// thread rings a doorbell (no allocation, no lock, never blocks); the GUI
// thread hears it and refreshes the window once however many requests came.
class QtWindowPort final : public QObject, public WindowPort {
  Q_OBJECT

 public:
  // `refresh` brings the window up to date (without it: a whole repaint).
  explicit QtWindowPort(QWidget* window, std::function<void()> refresh = {});
  ~QtWindowPort() override;

  void RequestRepaint() override;
  void ShowError(std::string_view text, std::string_view caption) override;
  void ShowNotice(std::string_view text, std::string_view caption) override;

 private:
  void OnDoorbell();
  QWidget* Owner() const;

  QPointer<QWidget> window_;
  std::vector<QPointer<QMessageBox>> notices_;  // gone once closed
  std::function<void()> refresh_;
  Doorbell doorbell_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tavolin
