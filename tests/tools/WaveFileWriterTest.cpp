#include "tools/WaveFileWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace tavolin {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

TEST(WaveFileWriter, HeaderIsTheFortySixBytesOfMonoSixteenBitPcm) {
  const uint8_t expected[46] = {'R', 'I', 'F', 'F', 38 + 4, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                18, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0,
                                2, 0, 16, 0, 0, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0};
  const auto header = MakeWaveHeader(4);
  EXPECT_EQ(std::memcmp(header.data(), expected, 46), 0);
}

TEST(WaveFileWriter, SizesAreFilledInAndSamplesAreLittleEndian) {
  const std::string path = TempPath("tavolin-wave-writer-test.wav");
  WaveFileWriter writer;
  ASSERT_TRUE(writer.Open(path));
  std::vector<int16_t> block(1024, 0);
  block[0] = -2;
  block[1023] = 0x1234;
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(writer.Append(block.data(), 1024));
  ASSERT_TRUE(writer.Append(block.data(), 1));  // any count, not only whole blocks
  ASSERT_TRUE(writer.Finish());
  const auto bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 46u + 2 * (3 * 1024 + 1));
  EXPECT_EQ(Le32(bytes, 4), 38u + 2 * (3 * 1024 + 1));
  EXPECT_EQ(Le32(bytes, 42), 2u * (3 * 1024 + 1));
  EXPECT_EQ(bytes[46], 0xFE);
  EXPECT_EQ(bytes[47], 0xFF);
  EXPECT_EQ(bytes[46 + 2046], 0x34);
  EXPECT_EQ(bytes[46 + 2047], 0x12);

  // Nothing appended: a valid empty file.
  ASSERT_TRUE(writer.Open(path));
  ASSERT_TRUE(writer.Finish());
  const auto empty = ReadAll(path);
  ASSERT_EQ(empty.size(), 46u);
  EXPECT_EQ(Le32(empty, 4), 38u);
  EXPECT_EQ(Le32(empty, 42), 0u);
  std::filesystem::remove(path);
}

TEST(WaveFileWriter, UnwritablePlacesFail) {
  WaveFileWriter writer;
  EXPECT_FALSE(writer.Open(std::filesystem::temp_directory_path().string()));  // a folder
  EXPECT_FALSE(writer.Append(nullptr, 0));
  EXPECT_FALSE(writer.Finish());
}

}  // namespace
}  // namespace tavolin
