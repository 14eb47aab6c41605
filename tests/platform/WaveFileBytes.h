#pragma once
// Reading back a WAVE file that the writer made, for the tests: its bytes,
// and its data length after checking that both sizes match the file.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/WaveFileWriter.h"

namespace tavolin::test {

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// The data length of a finished file: the file is 46 + n bytes, with
// 38 + n at offset 4 and n at offset 42 (a failure is recorded otherwise).
inline uint64_t FinishedDataBytes(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < kWaveHeaderBytes) {
    ADD_FAILURE() << "no header: " << bytes.size() << " bytes";
    return 0;
  }
  const uint64_t n = bytes.size() - kWaveHeaderBytes;
  EXPECT_EQ(Le32(bytes, 4), 38 + n);
  EXPECT_EQ(Le32(bytes, 42), n);
  return n;
}

}  // namespace tavolin::test
