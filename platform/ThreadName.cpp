#include "platform/ThreadName.h"

#include <pthread.h>

#include <cstring>

namespace tavolin {

void NameCurrentThread(const char* name) {
  char truncated[16];
  std::strncpy(truncated, name, sizeof truncated - 1);
  truncated[sizeof truncated - 1] = '\0';
  pthread_setname_np(pthread_self(), truncated);
}

}  // namespace tavolin
