#include "spectral/ModulatorFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tavolin {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Le32(uint32_t v) {
  return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v >> 16),
          static_cast<unsigned char>(v >> 24)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Id(const char* id) { return Bytes(id, id + std::strlen(id)); }

// A chunk with the size it declares (by default its real size) and its pad byte.
Bytes Chunk(const char* id, const Bytes& data, int64_t declared = -1) {
  Bytes out =
      Cat({Id(id), Le32(declared < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(declared)), data});
  if (data.size() % 2) out.push_back(0);
  return out;
}

Bytes Riff(const char* form, const Bytes& chunks, int64_t declared = -1) {
  return Chunk("RIFF", Cat({Id(form), chunks}), declared);
}

const Bytes kFmt = Chunk("fmt ", Bytes(16, 0));

ModulatorLoad Load(Bytes file) { return LoadModulator(fmemopen(file.data(), file.size(), "rb"), "test.wav"); }

TEST(ModulatorFile, FindsTheDataChunkAndReadsWhatTheFileHolds) {
  struct Case {
    const char* what;
    Bytes file;
    std::vector<int16_t> samples;
    uint32_t bytes;
  };
  const Bytes four = {0x01, 0x00, 0xFF, 0xFF};
  const Case cases[] = {
      {"plain", Riff("WAVE", Cat({kFmt, Chunk("data", four)})), {1, -1}, 4},
      {"after an odd-sized chunk and its pad byte",
       Riff("WAVE", Cat({Chunk("LIST", {1, 2, 3}), Chunk("data", four)})),
       {1, -1},
       4},
      {"odd size: the last byte is no sample",
       Riff("WAVE", Chunk("data", {0x02, 0x01, 0x00, 0x80, 0x7F})),
       {0x0102, -32768},
       5},
      {"claims more than the file holds", Riff("WAVE", Chunk("data", four, 1000)), {1, -1}, 4},
      {"claims 0xFFFFFFFF bytes", Riff("WAVE", Chunk("data", four, 0xFFFFFFFF)), {1, -1}, 4},
      {"the RIFF size bounds the data", Riff("WAVE", Chunk("data", four), 4 + 8 + 2), {1}, 2},
      {"a RIFF of another form first",
       Cat({Riff("AVI ", Chunk("data", {9, 9})), Riff("WAVE", Chunk("data", four))}),
       {1, -1},
       4},
      {"empty data", Riff("WAVE", Chunk("data", {})), {}, 0},
  };
  for (const Case& c : cases) {
    const ModulatorLoad load = Load(c.file);
    ASSERT_TRUE(load.data) << c.what << ": " << load.error;
    EXPECT_EQ(load.data->bytes, c.bytes) << c.what;
    EXPECT_EQ(std::vector<int16_t>(load.data->samples.get(), load.data->samples.get() + c.bytes / 2), c.samples)
        << c.what;
  }
}

Bytes Le16(uint16_t v) { return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)}; }

// A format chunk: tag, channels, rate, bits, and for the extensible tag the
// sub-format's code.
Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t subFormat = 0) {
  const auto align = static_cast<uint16_t>(channels * bits / 8);
  Bytes data = Cat({Le16(tag), Le16(channels), Le32(rate), Le32(rate * align), Le16(align), Le16(bits)});
  if (tag == 0xFFFE) data = Cat({data, Le16(22), Le16(bits), Le32(0), Le16(subFormat), Bytes(14, 0)});
  return Chunk("fmt ", data);
}

TEST(ModulatorFile, WarnsHowAFileOfAnotherFormatIsRead) {
  struct Case {
    Bytes fmt;
    const char* warning;  // empty: none
  };
  const Case cases[] = {
      {Fmt(1, 1, 44100, 16), ""},
      {Fmt(0xFFFE, 1, 44100, 16, 1), ""},
      {{}, ""},
      {Fmt(1, 1, 48000, 16), "holds 1-channel 16-bit PCM at 48000 Hz;"},
      {Fmt(1, 2, 44100, 16), "holds 2-channel 16-bit PCM at 44100 Hz;"},
      {Fmt(1, 1, 44100, 8), "holds 1-channel 8-bit PCM at 44100 Hz;"},
      {Fmt(3, 1, 44100, 32), "holds 1-channel 32-bit float at 44100 Hz;"},
      {Fmt(0xFFFE, 2, 96000, 24, 1), "holds 2-channel 24-bit PCM at 96000 Hz;"},
  };
  for (const Case& c : cases) {
    const ModulatorLoad load = Load(Riff("WAVE", Cat({c.fmt, Chunk("data", {1, 0, 2, 0})})));
    ASSERT_TRUE(load.data) << load.error;
    EXPECT_EQ(load.data->bytes, 4u);  // read as ever
    if (*c.warning == '\0') {
      EXPECT_EQ(load.warning, "");
    } else {
      EXPECT_EQ(load.warning.rfind(std::string("\"test.wav\" ") + c.warning, 0), 0u) << load.warning;
      EXPECT_NE(load.warning.find("reads its data as 16-bit mono PCM at 44100 Hz"), std::string::npos);
    }
  }
}

TEST(ModulatorFile, RefusesWhatCannotBeUsedAndSaysWhy) {
  struct Case {
    Bytes file;
    const char* reason;
  };
  const Case cases[] = {
      {{}, "not a RIFF WAVE file"},
      {Id("RIFF"), "not a RIFF WAVE file"},
      {Riff("AVI ", Chunk("data", {1, 0})), "not a RIFF WAVE file"},
      {Cat({Id("RIFX"), Le32(12), Id("WAVE"), Chunk("data", {1, 0})}), "not a RIFF WAVE file"},
      {Riff("WAVE", kFmt), "no \"data\" chunk"},
      {Riff("WAVE", Cat({kFmt, Id("da")})), "no \"data\" chunk"},
  };
  for (const Case& c : cases) {
    const ModulatorLoad load = Load(c.file);
    EXPECT_FALSE(load.data);
    EXPECT_NE(load.error.find("\"test.wav\""), std::string::npos) << load.error;
    EXPECT_NE(load.error.find(c.reason), std::string::npos) << load.error;
  }
  const ModulatorLoad missing = LoadModulatorFile("/nonexistent/dir/x.wav");
  EXPECT_FALSE(missing.data);
  EXPECT_NE(missing.error.find("cannot be opened"), std::string::npos) << missing.error;
}

}  // namespace
}  // namespace tavolin
