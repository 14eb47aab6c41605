#pragma once
// Builds Standard MIDI File bytes for the tests.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tavolin::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Be32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}

inline Bytes Chunk(const char* id, const Bytes& data) {
  return Cat({Bytes(id, id + 4), Be32(static_cast<uint32_t>(data.size())), data});
}

inline Bytes Header(uint16_t format, uint16_t division, uint16_t tracks = 1) {
  return Chunk("MThd",
               {static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format), static_cast<uint8_t>(tracks >> 8),
                static_cast<uint8_t>(tracks), static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
}

inline Bytes Track(const Bytes& events) { return Chunk("MTrk", events); }

inline Bytes Smf(uint16_t format, uint16_t division, std::initializer_list<Bytes> tracks) {
  Bytes out = Header(format, division, static_cast<uint16_t>(tracks.size()));
  for (const Bytes& t : tracks) out = Cat({out, Track(t)});
  return out;
}

}  // namespace tavolin::test
