#pragma once
// Reading RIFF files: finding the top-level RIFF chunk of a form and a
// chunk inside it, then reading its data. Every chunk is checked against
// its parent and the file's real size, so a file that lies about its sizes
// is never read beyond its end.

#include <cstdint>
#include <cstdio>
#include <memory>

namespace tavolin {

struct RiffChunk {
  char id[4] = {};
  uint32_t size = 0;        // as the chunk header declares it
  uint64_t dataOffset = 0;  // where its data starts in the file
  uint64_t available = 0;   // how much of it the file really holds (within the parent)
};

class RiffReader {
 public:
  // Reads from `file`, which it closes when it is destroyed.
  explicit RiffReader(std::FILE* file);

  // The top-level RIFF chunk whose form type is `form` (four characters);
  // its form type is part of its data. False when the file has none.
  bool FindRiff(const char* form, RiffChunk& riff);
  // The first chunk `id` inside `parent` (whose data starts with a form type
  // when it is a RIFF or LIST chunk); positioned at its data. False when
  // there is none.
  bool FindChunk(const char* id, const RiffChunk& parent, RiffChunk& chunk);
  // Reads up to `bytes` bytes at the current position; how many it read.
  size_t Read(void* into, size_t bytes);

 private:
  bool ReadHeaderAt(uint64_t offset, uint64_t end, RiffChunk& chunk);

  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  uint64_t fileSize_ = 0;
};

}  // namespace tavolin
