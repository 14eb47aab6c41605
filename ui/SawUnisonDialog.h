#pragma once
// The modeless dialog of the unison saws (mode 9): eight start offsets and
// eight period ratios, applied to the engine's tables only by Apply. While
// the user edits one of the upper four ratios, its mirror among the lower
// four follows as 2 - ratio. Close only hides it: unapplied text stays.

#include <QDialog>
#include <array>

#include "synth/Synth.h"

class QLineEdit;

namespace tavolin {

class SawUnisonDialog final : public QDialog {
  Q_OBJECT

 public:
  // Created hidden, owned by the main window.
  explicit SawUnisonDialog(QWidget* owner);

  // The tables that Apply writes; the fields show their current values.
  void Attach(Synth& synth);
  // Shown beside the main window, so that it hides none of the window's
  // display, and without taking the keyboard from it, so piano keys never
  // land in a field.
  void ShowBeside(QWidget* keyboardOwner);
  void Apply();

  QLineEdit* OffsetField(int k) const { return offsets_[static_cast<size_t>(k)]; }
  QLineEdit* RatioField(int k) const { return ratios_[static_cast<size_t>(k)]; }

 private:
  void BuildControls();
  void Mirror(int k);

  Synth* synth_ = nullptr;
  std::array<QLineEdit*, kUnisonSaws> offsets_{};
  std::array<QLineEdit*, kUnisonSaws> ratios_{};
};

// Where a window of `size` goes beside `window`: on its right, else on its
// left, else at the screen's right edge; level with its top, within the
// screen.
QPoint PlaceBeside(const QRect& window, const QSize& size, const QRect& screen);

}  // namespace tavolin
