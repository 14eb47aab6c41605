#pragma once
// MIDI files written for a test into a folder of their own, removed afterwards.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "SmfBytes.h"

namespace tavolin::test {

class TempFiles {
 public:
  TempFiles() {
    dir_ = std::filesystem::temp_directory_path() /
           ("tavolin-test-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::create_directories(dir_);
  }
  ~TempFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path dir_;
};

}  // namespace tavolin::test
