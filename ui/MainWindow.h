#pragma once
#include <QWidget>

namespace tavolin {

// The main window: no menus, every command is a key; the whole client area
// is painted by the window itself.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 1140;
  static constexpr int kClientHeight = 708;

  explicit MainWindow(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavolin
