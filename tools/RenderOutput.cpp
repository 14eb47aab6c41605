#include "tools/RenderOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/ErrorText.h"

namespace tavolin {

namespace {

constexpr char kStandardOutput[] = "-";

// An existing destination that is neither a regular file nor a directory.
bool IsStream(const std::string& destination) {
  if (destination == kStandardOutput) return true;
  struct stat info {};
  return stat(destination.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies the file at `from` to `to`. Empty on success, else the reason.
std::string CopyOut(const std::string& from, int to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return ErrorText(errno);
  char buffer[64 * 1024];
  std::string reason;
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (n > 0 && !WriteAll(to, buffer, static_cast<size_t>(n)))) reason = ErrorText(errno);
    if (n <= 0 || !reason.empty()) break;
  }
  close(in);
  return reason;
}

}  // namespace

std::string RenderOutput::Stage(const std::string& destination) {
  stream_.clear();
  if (!IsStream(destination)) return staged_.Stage(destination);
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return error.message();
  // Never renamed onto: the name only has to be unused.
  const std::string name = "tavolin-render-" + std::to_string(getpid()) + ".wav";
  if (std::string why = staged_.Stage((folder / name).string()); !why.empty()) return why;
  stream_ = destination;
  return {};
}

std::string RenderOutput::Commit() {
  if (stream_.empty()) return staged_.Commit();
  std::string reason;
  if (stream_ == kStandardOutput) {
    reason = CopyOut(staged_.WritePath(), STDOUT_FILENO);
  } else if (const int out = open(stream_.c_str(), O_WRONLY | O_CLOEXEC); out < 0) {
    reason = ErrorText(errno);
  } else {
    reason = CopyOut(staged_.WritePath(), out);
    if (close(out) != 0 && reason.empty()) reason = ErrorText(errno);
  }
  staged_.Discard();
  return reason;
}

void ReportCantWrite(std::string_view path, std::string_view reason) {
  std::fprintf(stderr, "tavolin-render: %.*s: can't write: %.*s\n", static_cast<int>(path.size()), path.data(),
               static_cast<int>(reason.size()), reason.data());
}

}  // namespace tavolin
