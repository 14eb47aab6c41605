#include "platform/MessageQueue.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

#include "platform/BoundedQueue.h"

namespace tavolin {
namespace {

// The owner sleeps on a futex over an event counter that every post bumps.
// Waiting compares the counter with the value read before the last look at
// the queue, so a post that lands in between is never slept through.
void FutexWait(std::atomic<uint32_t>& word, uint32_t expected, const timespec* timeout) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, timeout, nullptr, 0);
}

void FutexWakeOne(std::atomic<uint32_t>& word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

}  // namespace

struct MessageQueue::Impl {
  explicit Impl(size_t capacity) : messages(capacity) {}

  BoundedQueue<Message> messages;
  std::atomic<uint32_t> events{0};
  std::atomic<uint32_t> sleeping{0};  // the owner is about to sleep or sleeps

  // Takes the next message, sleeping until `deadline` (none: forever).
  std::optional<Message> Take(const std::optional<std::chrono::steady_clock::time_point>& deadline) {
    Message message;
    for (;;) {
      if (messages.TryPop(message)) return message;
      const uint32_t ticket = events.load(std::memory_order_seq_cst);
      sleeping.store(1, std::memory_order_seq_cst);
      if (messages.TryPop(message)) {
        sleeping.store(0, std::memory_order_relaxed);
        return message;
      }
      if (!deadline) {
        FutexWait(events, ticket, nullptr);
      } else {
        const auto left = *deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
          sleeping.store(0, std::memory_order_relaxed);
          return std::nullopt;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        FutexWait(events, ticket, &timeout);
      }
      sleeping.store(0, std::memory_order_relaxed);
    }
  }
};

MessageQueue::MessageQueue(size_t capacity) : impl_(std::make_unique<Impl>(capacity)) {}

MessageQueue::~MessageQueue() = default;

bool MessageQueue::Post(const Message& message) {
  if (!impl_->messages.TryPush(message)) return false;
  impl_->events.fetch_add(1, std::memory_order_seq_cst);
  if (impl_->sleeping.load(std::memory_order_seq_cst) != 0) FutexWakeOne(impl_->events);
  return true;
}

Message MessageQueue::Get() { return *impl_->Take(std::nullopt); }

std::optional<Message> MessageQueue::Peek() {
  Message message;
  if (impl_->messages.TryPop(message)) return message;
  return std::nullopt;
}

std::optional<Message> MessageQueue::GetFor(std::chrono::milliseconds timeout) {
  return impl_->Take(std::chrono::steady_clock::now() + timeout);
}

}  // namespace tavolin
