#include "headless/RecordingName.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorText.h"

namespace tavolin {

namespace {

// More takes of one name than anybody keeps: beyond, the name is refused.
constexpr int kMostTakes = 9999;

std::string TakeName(const std::string& path, int take) {
  if (take == 1) return path;
  const size_t name = path.find_last_of('/') + 1;
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot <= name) dot = path.size();
  return path.substr(0, dot) + "-" + std::to_string(take) + path.substr(dot);
}

}  // namespace

std::optional<std::string> ClaimRecordingName(const std::string& path, std::string& error) {
  for (int take = 1; take <= kMostTakes; ++take) {
    const std::string candidate = TakeName(path, take);
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      return candidate;
    }
    if (errno != EEXIST) {
      error = candidate + ": " + ErrorText(errno);
      return std::nullopt;
    }
  }
  error = path + ": " + std::to_string(kMostTakes) + " recordings of that name are there already";
  return std::nullopt;
}

}  // namespace tavolin
