#include "platform/StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/ErrorText.h"

namespace tavolin {

namespace {

// The temporary file a termination signal removes: a copy of its path that
// the handler can read without allocating.
char gSignalPath[4096];
std::atomic<bool> gSignalPathSet{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");
const StagedFile* gSignalOwner = nullptr;

void RemoveAndEnd(int signal) {
  if (gSignalPathSet.load(std::memory_order_acquire)) unlink(gSignalPath);
  raise(signal);  // the default action again (SA_RESETHAND), once the handler returns
}

std::string CreateReason(int error, const std::filesystem::path& folder) {
  if (error == ENOENT) return "the directory " + folder.string() + " does not exist";
  return ErrorText(error);
}

bool SyncPath(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  const int error = errno;
  close(fd);
  errno = error;
  return synced;
}

}  // namespace

StagedFile::~StagedFile() { Discard(); }

std::string StagedFile::Stage(const std::string& destination) {
  Discard();
  destination_ = destination;
  writePath_.clear();
  struct stat info {};
  const bool replacing = stat(destination.c_str(), &info) == 0;
  if (replacing) {
    if (S_ISDIR(info.st_mode)) return ErrorText(EISDIR);
    if (!S_ISREG(info.st_mode)) {
      writePath_ = destination;
      return {};
    }
    // A file we may not write to is not replaced behind its owner's back.
    if (access(destination.c_str(), W_OK) != 0) return ErrorText(errno);
    // Through a symbolic link, the file it names is the one replaced.
    if (char* real = realpath(destination.c_str(), nullptr)) {
      destination_ = real;
      std::free(real);
    }
  }
  const std::filesystem::path target(destination_);
  if (!target.has_filename()) return ErrorText(EISDIR);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  // Hidden, unique to this process, and short enough for any name that fits.
  const std::string stem = std::string(".").append(target.filename().string().substr(0, 200)).append(".");
  for (int attempt = 0;; ++attempt) {
    const std::string name = std::to_string(getpid()).append("-").append(std::to_string(attempt)).append(".tmp");
    const std::string temporary = (folder / (stem + name)).string();
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (replacing) fchmod(fd, info.st_mode & 07777);  // the new file keeps the old one's permissions
      close(fd);
      writePath_ = temporary;
      break;
    }
    if (errno != EEXIST || attempt == 99) return CreateReason(errno, folder);
  }
  staged_ = true;
  if (writePath_.size() < sizeof gSignalPath) {
    gSignalPathSet.store(false, std::memory_order_release);
    std::memcpy(gSignalPath, writePath_.c_str(), writePath_.size() + 1);
    gSignalPathSet.store(true, std::memory_order_release);
    gSignalOwner = this;
  }
  return {};
}

std::string StagedFile::Commit() {
  if (!staged_) return {};
  // The contents reach the disk before the name does, and the new name
  // before Commit returns: after a system crash the destination holds either
  // the old file or the whole new one.
  if (!SyncPath(writePath_, O_RDONLY) || std::rename(writePath_.c_str(), destination_.c_str()) != 0) {
    std::string reason = ErrorText(errno);
    Discard();
    return reason;
  }
  staged_ = false;
  if (gSignalOwner == this) gSignalPathSet.store(false, std::memory_order_release);
  const std::filesystem::path target(destination_);
  if (!SyncPath(target.has_parent_path() ? target.parent_path().string() : ".", O_RDONLY | O_DIRECTORY)) {
    return ErrorText(errno);
  }
  return {};
}

void StagedFile::Discard() {
  if (!staged_) return;
  if (gSignalOwner == this) gSignalPathSet.store(false, std::memory_order_release);
  unlink(writePath_.c_str());
  staged_ = false;
}

void StagedFile::RemoveOnTerminationSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveAndEnd;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    // An ignored signal stays ignored (nohup, a shell's background job).
    if (before.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
  }
}

}  // namespace tavolin
