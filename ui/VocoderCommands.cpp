#include "ui/VocoderCommands.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>
#include <cstdio>

#include "spectral/ModulatorFile.h"
#include "ui/KeyboardReturn.h"

namespace tavolin {

namespace {

void ChooseAndLoad(ModulatorHandOff& modulator, QWidget* window) {
  modulator.Free();
  const ReturnKeyboardOnExit keyboardBack(window);
  // Linux file systems tell the cases apart.
  const QString path =
      QFileDialog::getOpenFileName(window, "Open WAVE file for Vocoder", QString(), "WAVE FILE (*.wav *.WAV)");
  if (path.isEmpty()) return;
  ModulatorLoad load = LoadModulatorFile(path.toStdString(), [] { QCoreApplication::processEvents(); });
  if (!load.data) {
    QMessageBox::critical(window, "Error", QString::fromStdString(load.error));
    return;
  }
  if (!load.warning.empty()) std::fprintf(stderr, "tavolin: warning: %s\n", load.warning.c_str());
  modulator.Install(std::move(load.data));
}

}  // namespace

void OpenVocoderWave(ModulatorHandOff& modulator, LoadTurns& loads, QWidget* window) {
  loads.Run([&modulator, window] { ChooseAndLoad(modulator, window); });
}

}  // namespace tavolin
