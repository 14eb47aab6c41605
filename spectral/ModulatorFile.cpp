#include "spectral/ModulatorFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <new>

#include "platform/ErrorText.h"
#include "platform/RiffReader.h"

namespace tavolin {

namespace {

constexpr uint32_t kReadStep = 1 << 20;

ModulatorLoad Refused(const std::string& name, const std::string& reason) {
  return ModulatorLoad{nullptr, "Can't use \"" + name + "\" for the vocoder: " + reason};
}

}  // namespace

ModulatorLoad LoadModulator(std::FILE* file, const std::string& name, const BetweenReads& betweenReads) {
  RiffReader reader(file);
  RiffChunk riff;
  RiffChunk data;
  if (!reader.FindRiff("WAVE", riff)) return Refused(name, "it is not a RIFF WAVE file.");
  if (!reader.FindChunk("data", riff, data)) return Refused(name, "it has no \"data\" chunk.");
  // Never more than the file holds, whatever the chunk claims.
  const auto bytes = static_cast<uint32_t>(data.available);
  auto modulator = std::make_unique<ModulatorData>();
  modulator->samples.reset(new (std::nothrow) int16_t[(bytes + 1) / 2]());
  if (!modulator->samples) return Refused(name, "there is not enough memory for its samples.");
  auto* into = reinterpret_cast<unsigned char*>(modulator->samples.get());
  uint32_t read = 0;
  while (read < bytes) {
    const size_t got = reader.Read(into + read, std::min<uint32_t>(bytes - read, kReadStep));
    read += static_cast<uint32_t>(got);
    if (got == 0) break;  // a read error: what was read is kept
    if (betweenReads && read < bytes) betweenReads();
  }
  modulator->bytes = read;
  if constexpr (std::endian::native == std::endian::big) {
    for (uint32_t i = 0; i < modulator->bytes / 2; ++i) {
      const auto u = static_cast<uint16_t>(modulator->samples[i]);
      modulator->samples[i] = static_cast<int16_t>(static_cast<uint16_t>(u << 8 | u >> 8));
    }
  }
  return ModulatorLoad{std::move(modulator), {}};
}

ModulatorLoad LoadModulatorFile(const std::string& path, const BetweenReads& betweenReads) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Refused(path, std::string("it cannot be opened (") + ErrorText(errno) + ").");
  return LoadModulator(file, path, betweenReads);
}

}  // namespace tavolin
