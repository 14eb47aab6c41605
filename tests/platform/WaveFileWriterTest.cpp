#include "platform/WaveFileWriter.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/FileSyncLog.h"
#include "tests/platform/WaveFileBytes.h"

namespace tavolin {
namespace {

using test::ReadAll;

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

// A finished file of `dataBytes` bytes of samples.
void ExpectValidWave(const std::string& path, uint64_t dataBytes) {
  EXPECT_EQ(test::FinishedDataBytes(ReadAll(path)), dataBytes);
}

TEST(WaveFileWriter, HeaderIsTheFortySixBytesOfMonoSixteenBitPcm) {
  // clang-format off
  const uint8_t expected[46] = {'R', 'I', 'F', 'F', 38 + 4, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                18, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0,
                                2, 0, 16, 0, 0, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0};
  // clang-format on
  const auto header = MakeWaveHeader(WaveFormat{}, 4);
  EXPECT_EQ(std::memcmp(header.data(), expected, 46), 0);
  // The largest file: its RIFF size is the largest 32-bit number but one.
  EXPECT_EQ(38 + kWaveDataLimit, uint64_t{UINT32_MAX} - 1);
}

TEST(WaveFileWriter, SizesAreFilledInAndSamplesAreLittleEndian) {
  const std::string path = TempPath("tavolin-wave-writer-test.wav");
  WaveFileWriter writer;
  ASSERT_TRUE(writer.Open(path, WaveFormat{}));
  std::vector<int16_t> block(1024, 0);
  block[0] = -2;
  block[1023] = 0x1234;
  for (int k = 0; k < 40; ++k) ASSERT_TRUE(writer.Append(block.data(), 1024));  // more than the buffer
  ASSERT_TRUE(writer.Append(block.data(), 1));                                  // any count, not only whole blocks
  ASSERT_TRUE(writer.Finish());
  ExpectValidWave(path, 2 * (40 * 1024 + 1));
  const auto bytes = ReadAll(path);
  EXPECT_EQ(bytes[46], 0xFE);
  EXPECT_EQ(bytes[47], 0xFF);
  EXPECT_EQ(bytes[46 + 39 * 2048 + 2046], 0x34);
  EXPECT_EQ(bytes[46 + 39 * 2048 + 2047], 0x12);

  // Nothing appended: a valid empty file, replacing the old one.
  ASSERT_TRUE(writer.Open(path, WaveFormat{}));
  ASSERT_TRUE(writer.Finish());
  ExpectValidWave(path, 0);
  std::filesystem::remove(path);
}

// Flush leaves a file that is valid as it stands, with the samples kept by
// the disk before the sizes are written; Finish has the disk keep all of it.
TEST(WaveFileWriter, FlushAndFinishLeaveAValidFileThatTheDiskKeeps) {
  const std::string path = TempPath("tavolin-wave-writer-flush.wav");
  WaveFileWriter writer;
  ASSERT_TRUE(writer.Open(path, WaveFormat{}));
  const std::string kept = std::filesystem::canonical(path).string();
  const std::vector<int16_t> samples(1000, 3);
  ASSERT_TRUE(writer.Append(samples.data(), 1000));
  test::FileSyncLog().clear();
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(test::FileSyncLog(), std::vector<std::string>{"fdatasync " + kept});
  ExpectValidWave(path, 2000);
  ASSERT_TRUE(writer.Append(samples.data(), 10));
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(test::FileSyncLog().back(), "fsync " + kept);
  ExpectValidWave(path, 2020);
  std::filesystem::remove(path);
}

TEST(WaveFileWriter, UnwritablePlacesFail) {
  WaveFileWriter writer;
  EXPECT_FALSE(writer.Open(std::filesystem::temp_directory_path().string(), WaveFormat{}));  // a folder
  EXPECT_FALSE(writer.Open("/nonexistent-folder/x.wav", WaveFormat{}));
  EXPECT_FALSE(writer.Append(nullptr, 0));
  EXPECT_FALSE(writer.Finish());
}

// At the size limit the append that would pass it is refused whole, and the
// file holds everything before it.
TEST(WaveFileWriter, TheSizeLimitEndsAppendingWithAValidFile) {
  const std::string path = TempPath("tavolin-wave-writer-limit.wav");
  WaveFileWriter writer(3 * 2048 + 100);
  ASSERT_TRUE(writer.Open(path, WaveFormat{}));
  const std::vector<int16_t> block(1024, 7);
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(writer.Append(block.data(), 1024));
  EXPECT_FALSE(writer.Append(block.data(), 1024));
  EXPECT_EQ(writer.Error(), WaveWriteError::SizeLimit);
  EXPECT_FALSE(writer.Append(block.data(), 1));
  EXPECT_FALSE(writer.Finish());
  ExpectValidWave(path, 3 * 2048);
  std::filesystem::remove(path);
}

// Writes blocks until the disk refuses, with a file size limit standing in
// for a full disk (the write fails the same way); exits 0 when the writer
// saw the refusal and said so.
[[noreturn]] void WriteUntilTheDiskRefuses(const std::string& path, rlim_t fileLimit) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = fileLimit;
  setrlimit(RLIMIT_FSIZE, &limit);
  WaveFileWriter writer;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread ends the process
  if (!writer.Open(path, WaveFormat{})) std::exit(2);
  const std::vector<int16_t> block(1024, 7);
  for (int k = 0; k < 1000 && writer.Append(block.data(), 1024); ++k) {
  }
  const bool finished = writer.Finish();
  // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread ends the process
  std::exit(writer.Error() == WaveWriteError::DiskRefused && !finished ? 0 : 3);
}

TEST(WaveFileWriterDeathTest, ADiskThatRefusesLeavesAValidFileOfWhatWasWritten) {
  const std::string path = TempPath("tavolin-wave-writer-full.wav");
  EXPECT_EXIT(WriteUntilTheDiskRefuses(path, 200 * 1024), ::testing::ExitedWithCode(0), "");
  // 200 KiB hold three buffers of 32 blocks: the fourth was refused and cut off.
  ExpectValidWave(path, 96 * 2048);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tavolin
