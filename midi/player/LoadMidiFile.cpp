#include "midi/player/LoadMidiFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "midi/player/ConvertSmf.h"
#include "platform/ErrorText.h"
#include "platform/ThreadPriority.h"
#include "synth/VoiceHandOff.h"

namespace tavolin {

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// The file's bytes, or why they cannot be read.
struct Read {
  FileBytes file;
  std::string error;  // empty on success
};

Read Failed(std::string_view reason) { return {{}, std::string(kCantOpen) + " (" + std::string(reason) + ")"}; }

Read ReadBytes(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return Failed(ErrorText(errno));
  // A directory opens for reading too; its "length" would be meaningless.
  struct stat info {};
  if (fstat(fileno(file.get()), &info) == 0 && S_ISDIR(info.st_mode)) return Failed(ErrorText(EISDIR));
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return Failed("not a regular file");
  const long length = std::ftell(file.get());
  // Offsets and sizes in the file are 32-bit counts.
  if (length < 0 || static_cast<unsigned long>(length) > UINT32_MAX - 4) return Failed("too large");
  std::rewind(file.get());
  Read read;
  FileBytes& result = read.file;
  result.size = static_cast<size_t>(length);
  try {
    result.bytes.resize(result.size + 4, 0xFF);
  } catch (const std::bad_alloc&) {
    return Failed("not enough memory");
  }
  if (std::fread(result.bytes.data(), 1, result.size, file.get()) != result.size) {
    return Failed(std::ferror(file.get()) ? ErrorText(errno) : "the file got shorter while it was read");
  }
  return read;
}

}  // namespace

std::optional<FileBytes> ReadMidiFile(const std::string& path, SongReporter& reporter) {
  Read read = ReadBytes(path);
  if (!read.error.empty()) {
    reporter.ShowError(read.error, kErrorCaption);
    return std::nullopt;
  }
  return std::move(read.file);
}

bool LoadMidiFile(Player& player, const std::string& path, bool play) {
  EventList list;
  {  // the file is freed before the song goes in: the events keep no reference to it
    // On the sequencer thread this would otherwise run at real-time priority.
    const NormalPriorityScope normalPriority;
    const std::optional<FileBytes> file = ReadMidiFile(path, *player.reporter);
    if (!file) return false;
    list = ConvertSmf(*player.reporter, file->bytes.data(), file->size, [&player] {
      CloseMidiFile(player);
      ClearVoiceTable(player.synth.voices);
    });
  }
  const bool installed = !list.empty();
  if (installed) InstallSong(player, std::move(list), path, play);
  player.reporter->SetTitle("Tavolin - " + ViewSong(player).currentFile);
  player.output.Requeue();
  return installed;
}

bool OpenPlaylist(Player& player, const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  {
    std::lock_guard hold(player.lock);
    player.playlist = paths;
    player.playlistCurrent = 0;
    // An end of song left over from before must not skip the new first file.
    player.SongEnded.store(0, std::memory_order_relaxed);
  }
  return LoadMidiFile(player, paths.front());
}

}  // namespace tavolin
