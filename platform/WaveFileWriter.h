#pragma once
// Writes a WAVE file of 16-bit mono PCM at 44100 Hz, as the recorder and
// tavolin-render make them: a 46-byte header (RIFF, an 18-byte "fmt " chunk
// holding the output format, "data") whose two sizes are filled in when the
// file is finished, or brought up to date by Flush, then the samples as they
// are appended.
//
// Positions and sizes are counted in 64 bits; the file never grows beyond
// what its 32-bit RIFF size can say. A write the disk refuses (full, quota,
// I/O error) cuts the file back to the last complete write and ends the
// appending; Finish still fills in the sizes, so the file stays valid and
// holds what was written.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/WaveFormat.h"

namespace tavolin {

inline constexpr uint32_t kWaveHeaderBytes = 46;
// The most sample bytes a file can hold: its RIFF size, 38 + n, must fit in
// 32 bits; whole samples only.
inline constexpr uint64_t kWaveDataLimit = (uint64_t{UINT32_MAX} - (kWaveHeaderBytes - 8)) & ~uint64_t{1};

// The header of a file holding `dataBytes` bytes of samples; the format
// record is written field by field (a struct would carry padding).
std::array<uint8_t, kWaveHeaderBytes> MakeWaveHeader(const WaveFormat& format, uint32_t dataBytes);

enum class WaveWriteError {
  None,
  DiskRefused,  // the disk took no more (full, quota, I/O error)
  SizeLimit,    // one more append would outgrow the 32-bit sizes
};

class WaveFileWriter {
 public:
  // `dataLimit`: the most sample bytes to accept (tests use less than 4 GiB).
  explicit WaveFileWriter(uint64_t dataLimit = kWaveDataLimit);
  ~WaveFileWriter();  // finishes an open file
  WaveFileWriter(const WaveFileWriter&) = delete;
  WaveFileWriter& operator=(const WaveFileWriter&) = delete;

  // Creates or empties the file and writes the header with open sizes.
  bool Open(const std::string& path, const WaveFormat& format);
  // Appends `count` samples (little-endian), all or none. False once a
  // write has failed or the limit is reached; Error() says which.
  bool Append(const int16_t* samples, uint32_t count);
  // Writes what is buffered, has the disk keep it, then brings the two sizes
  // up to date: a file left behind by a crash, kill -9 or a power loss is
  // valid and holds everything up to its last Flush. False when a write
  // failed now or earlier.
  bool Flush();
  // Writes what is still buffered, fills in the two sizes, has the disk keep
  // the file and closes it. False when a write failed now or earlier (the
  // file is still valid).
  bool Finish();

  // Sample bytes in the file (and in the buffer while it is open).
  uint64_t DataBytes() const { return written_ + buffered_; }
  // Sample bytes appended since the last write to the file.
  uint64_t BufferedBytes() const { return buffered_; }
  WaveWriteError Error() const { return error_; }
  // The system's error number of the write or open that failed last, 0 if none.
  int SystemError() const { return systemError_; }

 private:
  bool WriteBuffer();
  bool WriteSizes();

  uint64_t dataLimit_;
  int fd_ = -1;
  WaveFormat format_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint64_t written_ = 0;  // sample bytes on disk: always a whole number of appends
  uint64_t buffered_ = 0;
  WaveWriteError error_ = WaveWriteError::None;
  int systemError_ = 0;
};

}  // namespace tavolin
