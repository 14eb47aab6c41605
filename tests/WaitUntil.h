#pragma once
// Waiting in tests for something another thread does: polls until the
// condition holds, for a generous time, since the machine may be busy.

#include <chrono>
#include <thread>

namespace tavolin::test {

template <typename Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tavolin::test
