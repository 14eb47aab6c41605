#include "platform/ThreadTimes.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tavolin {

namespace {

// Reads /proc/self/task/<tid>/stat into `buffer` (NUL-terminated); false on failure.
bool ReadStat(ThreadId thread, char* buffer, size_t size) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(thread));
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  size_t filled = 0;
  for (;;) {
    const ssize_t got = read(fd, buffer + filled, size - 1 - filled);
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
    if (filled == size - 1) break;
  }
  close(fd);
  buffer[filled] = '\0';
  return filled > 0;
}

}  // namespace

ThreadId CurrentThreadId() { return static_cast<ThreadId>(syscall(SYS_gettid)); }

bool ReadThreadTimes(ThreadId thread, ThreadCpuTimes& times) {
  if (thread <= 0) return false;
  char stat[1024];
  if (!ReadStat(thread, stat, sizeof stat)) return false;
  // The command name (field 2) may hold spaces and parentheses: the fields
  // after it start behind the last ')'. Field 3 is the state; utime and
  // stime are fields 14 and 15, in clock ticks.
  const char* p = std::strrchr(stat, ')');
  if (!p) return false;
  ++p;
  for (int field = 3; field < 14; ++field) {
    while (*p == ' ') ++p;
    while (*p && *p != ' ') ++p;
  }
  char* end = nullptr;
  const unsigned long long user = std::strtoull(p, &end, 10);
  if (end == p) return false;
  p = end;
  const unsigned long long kernel = std::strtoull(p, &end, 10);
  if (end == p) return false;
  const long ticksPerSecond = sysconf(_SC_CLK_TCK);
  if (ticksPerSecond <= 0) return false;
  const uint64_t unitsPerTick = 10'000'000u / static_cast<uint64_t>(ticksPerSecond);
  times.kernel = kernel * unitsPerTick;
  times.user = user * unitsPerTick;
  return true;
}

}  // namespace tavolin
