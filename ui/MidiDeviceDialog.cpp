#include "ui/MidiDeviceDialog.h"

#include <QListWidget>
#include <QPushButton>

#include "ui/DialogUnits.h"

namespace tavolin {

MidiDeviceDialog::MidiDeviceDialog(const std::vector<std::string>& lines, QWidget* parent)
    : QDialog(parent),
      list_(new QListWidget(this)),
      ok_(new QPushButton("OK", this)),
      cancel_(new QPushButton(QString::fromUtf8("ｷｬﾝｾﾙ"), this)) {
  setWindowTitle("Select MIDI IN device!");
  setModal(true);
  setFont(DialogFont());
  const DialogUnits du(font());
  setFixedSize(du.X(187), du.Y(93));
  list_->setGeometry(du.Rect(5, 5, 120, 80));
  ok_->setGeometry(du.Rect(130, 7, 50, 14));
  cancel_->setGeometry(du.Rect(130, 24, 50, 14));
  ok_->setDefault(true);
  for (const std::string& line : lines) list_->addItem(QString::fromStdString(line));
  connect(ok_, &QPushButton::clicked, this, &MidiDeviceDialog::Ok);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);  // rejected is 0
}

void MidiDeviceDialog::Ok() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;  // stays open
  done(list_->row(selected.first()) + 1);
}

int AskMidiInputLine(const std::vector<std::string>& lines, QWidget* parent) {
  MidiDeviceDialog dialog(lines, parent);
  return dialog.exec();
}

}  // namespace tavolin
