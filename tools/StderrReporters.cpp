#include "tools/StderrReporters.h"

#include <cstdio>

namespace tavolin {

void StderrSongReporter::ShowError(std::string_view text, std::string_view) {
  errors_.fetch_add(1);
  std::fprintf(stderr, "tavolin-render: %s: %.*s\n", fileName_.c_str(), static_cast<int>(text.size()), text.data());
}

void ReportCantWrite(std::string_view path, std::string_view reason) {
  std::fprintf(stderr, "tavolin-render: %.*s: can't write: %.*s\n", static_cast<int>(path.size()), path.data(),
               static_cast<int>(reason.size()), reason.data());
}

void StderrWindowPort::ShowError(std::string_view text, std::string_view) {
  std::fprintf(stderr, "tavolin-render: %.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace tavolin
