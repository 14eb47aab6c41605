#pragma once
// Whether a thread of this process carries a name (as top -H and debuggers show it).

#include <filesystem>
#include <fstream>
#include <string>

namespace tavolin::test {

inline bool SomeThreadIsNamed(const std::string& name) {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string line;
    if (std::getline(comm, line) && line == name) return true;
  }
  return false;
}

}  // namespace tavolin::test
