#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/Doorbell.h"
#include "platform/WindowPort.h"

class QSocketNotifier;

namespace tavolin {

// The engine's view of the main window. A repaint request from the audio
// thread rings a doorbell (no allocation, no lock, never blocks); the GUI
// thread hears it and repaints once however many requests came.
class QtWindowPort final : public QObject, public WindowPort {
  Q_OBJECT

 public:
  explicit QtWindowPort(QWidget* window);
  ~QtWindowPort() override;

  void RequestRepaint() override;
  void ShowError(std::string_view text, std::string_view caption) override;
  void ShowNotice(std::string_view text, std::string_view caption) override;

 private:
  void OnDoorbell();
  QWidget* Owner() const;

  QPointer<QWidget> window_;
  Doorbell doorbell_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tavolin
