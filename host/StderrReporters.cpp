#include "host/StderrReporters.h"

#include <cstdio>

namespace tavolin {

void StderrSongReporter::ShowError(std::string_view text, std::string_view) {
  errors_.fetch_add(1);
  if (fileName_.empty()) {
    std::fprintf(stderr, "%s: %.*s\n", program_, static_cast<int>(text.size()), text.data());
  } else {
    std::fprintf(stderr, "%s: %s: %.*s\n", program_, fileName_.c_str(), static_cast<int>(text.size()), text.data());
  }
}

void StderrWindowPort::ShowError(std::string_view text, std::string_view) {
  std::fprintf(stderr, "%s: %.*s\n", program_, static_cast<int>(text.size()), text.data());
}

}  // namespace tavolin
