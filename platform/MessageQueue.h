#pragma once
// A thread's message queue: any thread posts, the owning thread takes.
// Posting never blocks and never allocates, so the device callback and the
// audio thread may post; the owner blocks in Get or waits with a time-out.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace tavolin {

// Message numbers kept from the system the engine was written for, so that
// logs and tests read the same numbers.
enum class MessageId : uint32_t {
  Null = 0x0000,         // wakes the owner; carries nothing
  WaveOutDone = 0x03BD,  // 957: a buffer came back; lParam is its WaveHeader*
};

struct Message {
  MessageId id = MessageId::Null;
  uintptr_t wParam = 0;
  uintptr_t lParam = 0;
};

class MessageQueue {
 public:
  explicit MessageQueue(size_t capacity = 256);  // rounded up to a power of two
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // Any thread. Lock-free; false only when the queue is full.
  bool Post(const Message& message);

  // Owner thread only (a single consumer).
  Message Get();                                                     // blocks
  std::optional<Message> Peek();                                     // removes, never blocks
  std::optional<Message> GetFor(std::chrono::milliseconds timeout);  // a post ends the wait early

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavolin
