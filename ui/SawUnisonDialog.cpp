#include "ui/SawUnisonDialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "params/CNumberText.h"
#include "ui/DialogUnits.h"
#include "ui/KeyboardReturn.h"

namespace tavolin {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
// A field is read up to this many characters.
constexpr int kFieldChars = 15;

// Rows of the upper four and the lower four fields; the gap marks the split.
constexpr int kRowY[kUnisonSaws] = {25, 40, 55, 70, 95, 110, 125, 140};

std::string FieldText(const QLineEdit* field) { return field->text().left(kFieldChars).toStdString(); }

}  // namespace

SawUnisonDialog::SawUnisonDialog(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QString::fromUtf8("SawUnison(Shift+0) ぱらめーた"));
  setFont(DialogFont());
  setAttribute(Qt::WA_ShowWithoutActivating);
  BuildControls();
}

void SawUnisonDialog::BuildControls() {
  const DialogUnits du(font());
  setFixedSize(du.X(134), du.Y(159));
  auto label = [&](const char* text, QRect at) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setGeometry(at);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setWordWrap(true);  // a static text wraps at its width
  };
  for (int k = 0; k < kUnisonSaws; ++k) {
    offsets_[static_cast<size_t>(k)] = new QLineEdit(this);
    offsets_[static_cast<size_t>(k)]->setGeometry(du.Rect(5, kRowY[k], 25, 14));
  }
  for (int k = 0; k < kUnisonSaws; ++k) {
    QLineEdit* field = new QLineEdit(this);
    ratios_[static_cast<size_t>(k)] = field;
    field->setGeometry(du.Rect(35, kRowY[k], 40, 14));
    // Typing only: the mirror's own text changes set no further mirror.
    if (k < kUnisonSaws / 2) connect(field, &QLineEdit::textEdited, this, [this, k] { Mirror(k); });
  }
  auto* apply = new QPushButton(QString::fromUtf8("適用"), this);
  apply->setGeometry(du.Rect(80, 25, 50, 14));
  apply->setDefault(true);
  connect(apply, &QPushButton::clicked, this, &SawUnisonDialog::Apply);
  auto* close = new QPushButton(QString::fromUtf8("閉じる"), this);
  close->setGeometry(du.Rect(80, 45, 50, 14));
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
  label("開始位置", du.Rect(5, 5, 28, 8));
  label("基本周波数とのズレ", du.Rect(35, 5, 60, 8));
  label("[Sample]", du.Rect(5, 15, 27, 8));
  label("[倍率]", du.Rect(35, 15, 19, 8));
  label("周波数は上四つ\nを編集すると\n対称な値に\n自動的に変更\nされます．\n下四つもあとで\n編集できます．",
        du.Rect(80, 95, 50, 60));
  auto* line = new QFrame(this);
  line->setGeometry(du.Rect(35, 90, 40, 1));
  line->setAutoFillBackground(true);
  QPalette black = line->palette();
  black.setColor(QPalette::Window, Qt::black);
  line->setPalette(black);
}

void SawUnisonDialog::Attach(Synth& synth) {
  synth_ = &synth;
  for (int k = 0; k < kUnisonSaws; ++k) {
    const auto i = static_cast<size_t>(k);
    ratios_[i]->setText(QString::fromStdString(FormatFixed6(synth.UnisonRatio[i].load(kRelaxed))));
    offsets_[i]->setText(
        QString::fromStdString(FormatUnsigned(static_cast<uint32_t>(synth.UnisonOffset[i].load(kRelaxed)))));
  }
}

void SawUnisonDialog::Mirror(int k) {
  const double ratio = ParseDecimalPrefix(FieldText(ratios_[static_cast<size_t>(k)]));
  ratios_[static_cast<size_t>(kUnisonSaws - 1 - k)]->setText(QString::fromStdString(FormatFixed6(2.0 - ratio)));
}

// What the fields show, as written: 0.980000 is stored as 0.98. The audio
// thread may render a block with some old and some new values; each is one
// store.
void SawUnisonDialog::Apply() {
  if (!synth_) return;
  for (int k = 0; k < kUnisonSaws; ++k) {
    const auto i = static_cast<size_t>(k);
    synth_->UnisonRatio[i].store(ParseDecimalPrefix(FieldText(ratios_[i])), kRelaxed);
  }
  for (int k = 0; k < kUnisonSaws; ++k) {
    const auto i = static_cast<size_t>(k);
    // The renderer adds the offset to its counter as an unsigned 32-bit value.
    synth_->UnisonOffset[i].store(static_cast<int32_t>(ParseUnsignedWhole(FieldText(offsets_[i]))), kRelaxed);
  }
}

// Each time it opens: a dialog moved away and closed comes back beside the
// window, which may have moved meanwhile.
void SawUnisonDialog::ShowBeside(QWidget* keyboardOwner) {
  if (keyboardOwner && !isVisible()) {
    move(PlaceBeside(keyboardOwner->frameGeometry(), frameGeometry().size(),
                     keyboardOwner->screen()->availableGeometry()));
  }
  show();
  ReturnKeyboard(keyboardOwner);
}

QPoint PlaceBeside(const QRect& window, const QSize& size, const QRect& screen) {
  int x = window.right() + 1;
  if (x + size.width() - 1 > screen.right()) {
    x = window.left() - size.width();
    if (x < screen.left()) x = std::max(screen.left(), screen.right() + 1 - size.width());
  }
  const int y = std::max(screen.top(), std::min(window.top(), screen.bottom() + 1 - size.height()));
  return {x, y};
}

}  // namespace tavolin
