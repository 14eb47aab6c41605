#include "ui/PlayerCommands.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include "midi/player/LoadMidiFile.h"
#include "midi/player/Sequencer.h"
#include "ui/KeyboardReturn.h"

namespace tavolin {

namespace {
bool ShiftDown() { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); }
}  // namespace

bool OpenMidiFileDialog(Player& player, QWidget* window) {
  const QStringList chosen =
      QFileDialog::getOpenFileNames(window, "Open MIDI file", QString(), "MIDI FILE (*.mid *.midi)");
  ReturnKeyboard(window);
  if (chosen.isEmpty()) return false;
  std::vector<std::string> paths;
  paths.reserve(static_cast<size_t>(chosen.size()));
  for (const QString& path : chosen) paths.push_back(path.toStdString());
  return OpenPlaylist(player, paths);
}

void OpenMidiFileCommand(Player& player, LoadTurns& loads, QWidget* window) {
  loads.Run([&player, window] {
    if (OpenMidiFileDialog(player, window) && !ShiftDown()) StartPlayback(player);
  });
}

void CloseMidiFileCommand(Player& player) { CloseMidiFile(player); }

void PlaySongCommand(Player& player) {
  if (ViewSong(player).song) StartPlayback(player);
}

void StopSongCommand(Player& player) { StopPlayback(player); }

void SkipAheadCommand(Player& player) { SkipAhead(player); }

void NextPlaylistFileCommand(Player& player, LoadTurns& loads) {
  loads.Run([&player] { NextPlaylistFile(player); });
}

void LoadDroppedFile(Player& player, LoadTurns& loads, const QString& path, bool shiftHeld) {
  loads.Run([&player, path = path.toStdString(), shiftHeld] { LoadMidiFile(player, path, !shiftHeld); });
}

QString FirstDroppedFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) return {};
  return mime->urls().first().toLocalFile();
}

}  // namespace tavolin
