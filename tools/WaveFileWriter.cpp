#include "tools/WaveFileWriter.h"

#include <cstring>
#include <vector>

namespace tavolin {

namespace {
constexpr uint32_t kLargestData = UINT32_MAX - (kWaveHeaderBytes - 8);

void Put16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
}  // namespace

std::array<uint8_t, kWaveHeaderBytes> MakeWaveHeader(uint32_t dataBytes) {
  std::array<uint8_t, kWaveHeaderBytes> h{};
  std::memcpy(&h[0], "RIFF", 4);
  Put32(&h[4], kWaveHeaderBytes - 8 + dataBytes);
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  Put32(&h[16], 18);
  Put16(&h[20], 1);      // PCM
  Put16(&h[22], 1);      // mono
  Put32(&h[24], 44100);  // samples per second
  Put32(&h[28], 88200);  // bytes per second
  Put16(&h[32], 2);      // block alignment
  Put16(&h[34], 16);     // bits per sample
  Put16(&h[36], 0);      // no extra format bytes
  std::memcpy(&h[38], "data", 4);
  Put32(&h[42], dataBytes);
  return h;
}

WaveFileWriter::~WaveFileWriter() {
  if (file_) std::fclose(file_);
}

bool WaveFileWriter::Open(const std::string& path) {
  if (file_) std::fclose(file_);
  dataBytes_ = 0;
  failed_ = false;
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  const auto header = MakeWaveHeader(0);
  failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
  return !failed_;
}

bool WaveFileWriter::Append(const int16_t* samples, uint32_t count) {
  if (!file_ || failed_) return false;
  if (count > (kLargestData - dataBytes_) / 2) {
    failed_ = true;
    return false;
  }
  std::vector<uint8_t> bytes(size_t{count} * 2);
  for (uint32_t i = 0; i < count; ++i) Put16(&bytes[2 * i], static_cast<uint16_t>(samples[i]));
  failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
  if (!failed_) dataBytes_ += count * 2;
  return !failed_;
}

bool WaveFileWriter::Finish() {
  if (!file_) return false;
  const auto header = MakeWaveHeader(dataBytes_);
  bool ok = !failed_ && std::fseek(file_, 0, SEEK_SET) == 0 &&
            std::fwrite(header.data(), 1, header.size(), file_) == header.size();
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  return ok;
}

}  // namespace tavolin
