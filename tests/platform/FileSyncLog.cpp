#include "tests/platform/FileSyncLog.h"

#include <dlfcn.h>
#include <unistd.h>

#include <string>

namespace tavolin::test {

std::vector<std::string>& FileSyncLog() {
  static std::vector<std::string> log;
  return log;
}

namespace {

std::string PathOf(int fd) {
  char path[4096];
  const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : "?";
}

template <typename Function>
Function* Next(const char* name) {
  return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

}  // namespace
}  // namespace tavolin::test

// These take the place of the C library's functions in the test program.
extern "C" int fsync(int fd) {
  tavolin::test::FileSyncLog().push_back("fsync " + tavolin::test::PathOf(fd));
  return tavolin::test::Next<int(int)>("fsync")(fd);
}

extern "C" int fdatasync(int fd) {
  tavolin::test::FileSyncLog().push_back("fdatasync " + tavolin::test::PathOf(fd));
  return tavolin::test::Next<int(int)>("fdatasync")(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
  tavolin::test::FileSyncLog().push_back(std::string("rename ") + from + " -> " + to);
  return tavolin::test::Next<int(const char*, const char*)>("rename")(from, to);
}
