#include "platform/Doorbell.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tavolin {

Doorbell::Doorbell() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Doorbell::~Doorbell() {
  if (fd_ >= 0) close(fd_);
}

void Doorbell::Ring() {
  if (fd_ < 0) return;
  const uint64_t one = 1;
  // A full counter only means the bell is already ringing.
  [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

void Doorbell::Clear() {
  if (fd_ < 0) return;
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = read(fd_, &count, sizeof count);
}

}  // namespace tavolin
