#include "platform/WaveFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavolin {

namespace {

// Appends are collected here and written in one call. The buffer is written
// only between appends, so the disk holds whole appends (of at most the
// buffer's size).
constexpr uint64_t kBufferBytes = 64 * 1024;

void Put16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool WriteAll(int fd, const uint8_t* bytes, uint64_t size, off_t at) {
  while (size > 0) {
    const ssize_t n = pwrite(fd, bytes, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // no progress and no reason given
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<uint64_t>(n);
    at += n;
  }
  return true;
}

// A file that cannot be synced (a pipe, /dev/null) has nothing to keep.
bool Synced(int fd, int (*sync)(int)) { return sync(fd) == 0 || errno == EINVAL || errno == EROFS; }

}  // namespace

std::array<uint8_t, kWaveHeaderBytes> MakeWaveHeader(const WaveFormat& format, uint32_t dataBytes) {
  std::array<uint8_t, kWaveHeaderBytes> h{};
  std::memcpy(&h[0], "RIFF", 4);
  Put32(&h[4], kWaveHeaderBytes - 8 + dataBytes);
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  Put32(&h[16], 18);
  Put16(&h[20], format.formatTag);
  Put16(&h[22], format.channels);
  Put32(&h[24], format.samplesPerSec);
  Put32(&h[28], format.avgBytesPerSec);
  Put16(&h[32], format.blockAlign);
  Put16(&h[34], format.bitsPerSample);
  Put16(&h[36], format.cbSize);
  std::memcpy(&h[38], "data", 4);
  Put32(&h[42], dataBytes);
  return h;
}

WaveFileWriter::WaveFileWriter(uint64_t dataLimit)
    : dataLimit_(dataLimit < kWaveDataLimit ? dataLimit : kWaveDataLimit) {}

WaveFileWriter::~WaveFileWriter() { Finish(); }

bool WaveFileWriter::Open(const std::string& path, const WaveFormat& format) {
  Finish();
  written_ = 0;
  buffered_ = 0;
  error_ = WaveWriteError::None;
  systemError_ = 0;
  format_ = format;
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    systemError_ = errno;
    return false;
  }
  if (!buffer_) buffer_ = std::make_unique<uint8_t[]>(kBufferBytes);
  const auto header = MakeWaveHeader(format_, 0);
  if (!WriteAll(fd_, header.data(), header.size(), 0)) {
    systemError_ = errno;
    close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool WaveFileWriter::Append(const int16_t* samples, uint32_t count) {
  if (fd_ < 0 || error_ != WaveWriteError::None) return false;
  if (uint64_t{count} * 2 > dataLimit_ - DataBytes()) {
    error_ = WaveWriteError::SizeLimit;
    return false;
  }
  while (count > 0) {
    const uint32_t n = std::min<uint32_t>(count, kBufferBytes / 2);
    if (buffered_ + 2 * n > kBufferBytes && !WriteBuffer()) return false;
    uint8_t* at = buffer_.get() + buffered_;
    for (uint32_t i = 0; i < n; ++i) Put16(at + 2 * i, static_cast<uint16_t>(samples[i]));
    buffered_ += 2 * n;
    samples += n;
    count -= n;
  }
  return true;
}

bool WaveFileWriter::WriteBuffer() {
  if (buffered_ == 0) return true;
  const bool ok = WriteAll(fd_, buffer_.get(), buffered_, static_cast<off_t>(kWaveHeaderBytes + written_));
  if (ok) {
    written_ += buffered_;
  } else {
    error_ = WaveWriteError::DiskRefused;
    systemError_ = errno;
    // What made it to the disk of this buffer is dropped, so the file ends
    // on a whole append.
    [[maybe_unused]] const int cut = ftruncate(fd_, static_cast<off_t>(kWaveHeaderBytes + written_));
  }
  buffered_ = 0;
  return ok;
}

// Rewriting the header needs no new space: it succeeds on a full disk too.
bool WaveFileWriter::WriteSizes() {
  const auto header = MakeWaveHeader(format_, static_cast<uint32_t>(written_));
  return WriteAll(fd_, header.data(), header.size(), 0);
}

bool WaveFileWriter::Flush() {
  if (fd_ < 0 || error_ != WaveWriteError::None || !WriteBuffer()) return false;
  // The samples are on the disk before the sizes that count them: after a
  // power loss the sizes are at most one flush behind, never ahead.
  if (Synced(fd_, fdatasync) && WriteSizes()) return true;
  error_ = WaveWriteError::DiskRefused;
  systemError_ = errno;
  return false;
}

bool WaveFileWriter::Finish() {
  if (fd_ < 0) return false;
  WriteBuffer();  // after a refused write nothing is buffered
  bool ok = WriteSizes() && Synced(fd_, fsync);
  if (!ok) systemError_ = errno;
  if (close(fd_) != 0 && ok) {
    systemError_ = errno;
    ok = false;
  }
  fd_ = -1;
  return ok && error_ == WaveWriteError::None;
}

}  // namespace tavolin
