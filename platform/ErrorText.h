#pragma once
// The system's words for an error number, safe on any thread: strerror may
// hand every thread the same buffer, strerror_r fills one of the caller's.

#include <cstring>
#include <string>

namespace tavolin {

inline std::string ErrorText(int error) {
  char buffer[256];
  // The GNU form (g++ and clang++ define _GNU_SOURCE): it returns the text,
  // which is not always in the buffer.
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace tavolin
