#include "platform/RiffReader.h"

#include <algorithm>
#include <cstring>

namespace tavolin {

namespace {

constexpr uint64_t kHeaderBytes = 8;
constexpr uint64_t kFormBytes = 4;

uint32_t LittleEndian32(const unsigned char* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

uint64_t FileSize(std::FILE* file) {
  if (!file || std::fseek(file, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(file);
  return size < 0 ? 0 : static_cast<uint64_t>(size);
}

bool IsForm(const RiffChunk& chunk) {
  return std::memcmp(chunk.id, "RIFF", 4) == 0 || std::memcmp(chunk.id, "LIST", 4) == 0;
}

}  // namespace

RiffReader::RiffReader(std::FILE* file) : file_(file), fileSize_(FileSize(file)) {}

bool RiffReader::ReadHeaderAt(uint64_t offset, uint64_t end, RiffChunk& chunk) {
  if (!file_ || offset + kHeaderBytes > end) return false;
  unsigned char header[kHeaderBytes];
  if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
      std::fread(header, 1, sizeof header, file_.get()) != sizeof header) {
    return false;
  }
  std::memcpy(chunk.id, header, 4);
  chunk.size = LittleEndian32(header + 4);
  chunk.dataOffset = offset + kHeaderBytes;
  chunk.available = std::min<uint64_t>(chunk.size, end - chunk.dataOffset);
  return true;
}

bool RiffReader::FindRiff(const char* form, RiffChunk& riff) {
  // Top-level chunks follow each other to the end of the file.
  for (uint64_t at = 0; ReadHeaderAt(at, fileSize_, riff); at = riff.dataOffset + riff.size + (riff.size & 1)) {
    if (std::memcmp(riff.id, "RIFF", 4) != 0 || riff.available < kFormBytes) continue;
    char type[4];
    if (Read(type, sizeof type) == sizeof type && std::memcmp(type, form, 4) == 0) return true;
  }
  return false;
}

bool RiffReader::FindChunk(const char* id, const RiffChunk& parent, RiffChunk& chunk) {
  const uint64_t end = parent.dataOffset + parent.available;
  // Chunks are word-aligned: an odd-sized chunk is followed by a pad byte.
  for (uint64_t at = parent.dataOffset + (IsForm(parent) ? kFormBytes : 0); ReadHeaderAt(at, end, chunk);
       at = chunk.dataOffset + chunk.size + (chunk.size & 1)) {
    if (std::memcmp(chunk.id, id, 4) == 0) return true;
  }
  return false;
}

size_t RiffReader::Read(void* into, size_t bytes) { return file_ ? std::fread(into, 1, bytes, file_.get()) : 0; }

}  // namespace tavolin
