#include "spectral/ModulatorFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <new>

#include "platform/ErrorText.h"
#include "platform/RiffReader.h"
#include "platform/WaveFormat.h"

namespace tavolin {

namespace {

constexpr uint32_t kReadStep = 1 << 20;
constexpr uint32_t kPcm = 1;
constexpr uint32_t kFloat = 3;
constexpr uint32_t kExtensible = 0xFFFE;

ModulatorLoad Refused(const std::string& name, const std::string& reason) {
  return ModulatorLoad{nullptr, "Can't use \"" + name + "\" for the vocoder: " + reason, {}};
}

uint32_t LittleEndian(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// Empty when the format chunk is missing, too short to say anything, or
// says 16-bit mono PCM at 44100 Hz (also in the extensible form).
std::string FormatWarning(RiffReader& reader, const RiffChunk& riff, const std::string& name) {
  RiffChunk fmt;
  unsigned char f[26] = {};
  if (!reader.FindChunk("fmt ", riff, fmt) || fmt.available < 16) return {};
  reader.Read(f, std::min<uint64_t>(fmt.available, sizeof f));
  uint32_t tag = LittleEndian(f, 2);
  if (tag == kExtensible && fmt.available >= sizeof f) tag = LittleEndian(f + 24, 2);  // the sub-format's code
  const uint32_t channels = LittleEndian(f + 2, 2);
  const uint32_t rate = LittleEndian(f + 4, 4);
  const uint32_t bits = LittleEndian(f + 14, 2);
  if (tag == kPcm && channels == 1 && rate == kSampleRate && bits == 16) return {};
  const std::string encoding = tag == kPcm ? "PCM" : tag == kFloat ? "float" : "format " + std::to_string(tag);
  return "\"" + name + "\" holds " + std::to_string(channels) + "-channel " + std::to_string(bits) + "-bit " +
         encoding + " at " + std::to_string(rate) + " Hz; the vocoder reads its data as 16-bit mono PCM at 44100 Hz";
}

}  // namespace

ModulatorLoad LoadModulator(std::FILE* file, const std::string& name, const BetweenReads& betweenReads) {
  RiffReader reader(file);
  RiffChunk riff;
  RiffChunk data;
  if (!reader.FindRiff("WAVE", riff)) return Refused(name, "it is not a RIFF WAVE file.");
  std::string warning = FormatWarning(reader, riff, name);
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
  return ModulatorLoad{std::move(modulator), {}, std::move(warning)};
}

ModulatorLoad LoadModulatorFile(const std::string& path, const BetweenReads& betweenReads) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Refused(path, std::string("it cannot be opened (") + ErrorText(errno) + ").");
  return LoadModulator(file, path, betweenReads);
}

}  // namespace tavolin
