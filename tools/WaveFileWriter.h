#pragma once
// Writes a WAVE file of 16-bit mono PCM at 44100 Hz: a 46-byte header (RIFF,
// an 18-byte "fmt " chunk, "data") whose two sizes are filled in at the end,
// then the samples as they are appended.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tavolin {

inline constexpr uint32_t kWaveHeaderBytes = 46;

// The header of a file holding `dataBytes` bytes of samples.
std::array<uint8_t, kWaveHeaderBytes> MakeWaveHeader(uint32_t dataBytes);

class WaveFileWriter {
 public:
  WaveFileWriter() = default;
  ~WaveFileWriter();  // closes without finishing: the sizes stay 0
  WaveFileWriter(const WaveFileWriter&) = delete;
  WaveFileWriter& operator=(const WaveFileWriter&) = delete;

  // Creates or empties the file and writes the header with open sizes.
  bool Open(const std::string& path);
  // Appends samples (little-endian). False on a write error, or when the
  // file would outgrow the 32-bit sizes of its header.
  bool Append(const int16_t* samples, uint32_t count);
  // Fills in the two sizes and closes the file.
  bool Finish();

  uint32_t DataBytes() const { return dataBytes_; }

 private:
  std::FILE* file_ = nullptr;
  uint32_t dataBytes_ = 0;
  bool failed_ = false;
};

}  // namespace tavolin
