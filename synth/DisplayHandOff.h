#pragma once
// The display's read path: what the audio thread finishes for the picture
// (the blocks of the ring, the output and modulator spectra) is published
// here value by value, and the window thread reads it while later blocks
// are being rendered.
//
// Every value is one atomic word, stored and loaded with relaxed order: the
// audio thread never waits for a painter and the painter never waits for
// the audio thread or reads a torn value. A picture may mix a block with the
// one before it, or a value from before a change with one from after; the
// next paint shows the newer data.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tavolin {

template <typename T, size_t N>
class DisplayTap {
  static_assert(std::atomic<T>::is_always_lock_free);

 public:
  static constexpr size_t kSize = N;

  // [audio thread] Publishes `count` values as the tap's values from `first` on.
  void Publish(size_t first, const T* values, size_t count) {
    for (size_t i = 0; i < count; ++i) values_[first + i].store(values[i], std::memory_order_relaxed);
  }

  // Any thread: value i as last published (0 before anything was).
  T operator[](size_t i) const { return values_[i].load(std::memory_order_relaxed); }

 private:
  std::array<std::atomic<T>, N> values_{};
};

}  // namespace tavolin
