#pragma once
// A bounded lock-free queue of small trivially copyable values (a Vyukov
// ring): any number of threads push and pop without a lock and without
// allocating. Each cell carries a sequence number; a push publishes its value
// with a release store of the sequence and a pop takes it with an acquire
// load, so what the pusher wrote before pushing is visible to the popper.
// Used for thread messages and for the wave-output device queue.

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace tavolin {

template <typename T>
class BoundedQueue {
  static_assert(std::is_trivially_copyable_v<T> && std::is_default_constructible_v<T>);

 public:
  // The capacity is rounded up to a power of two, at least 2.
  explicit BoundedQueue(size_t capacity)
      : mask_(std::bit_ceil(capacity < 2 ? size_t{2} : capacity) - 1), cells_(std::make_unique<Cell[]>(mask_ + 1)) {
    for (size_t i = 0; i <= mask_; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
  }

  size_t Capacity() const { return mask_ + 1; }

  // False when the queue is full.
  bool TryPush(const T& value) {
    size_t pos = enqueuePos_.load(std::memory_order_relaxed);
    for (;;) {
      Cell& cell = cells_[pos & mask_];
      const size_t seq = cell.sequence.load(std::memory_order_acquire);
      const auto diff = static_cast<std::ptrdiff_t>(seq - pos);
      if (diff == 0) {
        if (enqueuePos_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
          cell.value = value;
          cell.sequence.store(pos + 1, std::memory_order_release);
          return true;
        }
      } else if (diff < 0) {
        return false;
      } else {
        pos = enqueuePos_.load(std::memory_order_relaxed);
      }
    }
  }

  // False when nothing is ready: empty, or the next push has claimed its cell
  // but not yet published it.
  bool TryPop(T& value) {
    size_t pos = dequeuePos_.load(std::memory_order_relaxed);
    for (;;) {
      Cell& cell = cells_[pos & mask_];
      const size_t seq = cell.sequence.load(std::memory_order_acquire);
      const auto diff = static_cast<std::ptrdiff_t>(seq - (pos + 1));
      if (diff == 0) {
        if (dequeuePos_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
          value = cell.value;
          cell.sequence.store(pos + mask_ + 1, std::memory_order_release);
          return true;
        }
      } else if (diff < 0) {
        return false;
      } else {
        pos = dequeuePos_.load(std::memory_order_relaxed);
      }
    }
  }

  // Pushes claimed so far (published or about to be) and pops taken so far:
  // a consumer that must take everything pushed before a moment drains until
  // Popped() reaches the Claimed() it read at that moment.
  size_t Claimed() const { return enqueuePos_.load(std::memory_order_acquire); }
  size_t Popped() const { return dequeuePos_.load(std::memory_order_acquire); }

 private:
  struct Cell {
    std::atomic<size_t> sequence{0};
    T value{};
  };

  const size_t mask_;
  std::unique_ptr<Cell[]> cells_;
  alignas(64) std::atomic<size_t> enqueuePos_{0};
  alignas(64) std::atomic<size_t> dequeuePos_{0};
};

}  // namespace tavolin
