#pragma once
// Samples made and not yet handed to the host, first in first out: a ring
// a power of two long, allocated once. One thread writes and reads.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>

namespace tavolin {

class SampleFifo {
 public:
  // Room for `samples` at least, all silent. False when memory ran out.
  bool Allocate(uint64_t samples) {
    const uint64_t size = std::bit_ceil(std::max<uint64_t>(samples, 1));
    ring_.reset(new (std::nothrow) float[size]());
    mask_ = size - 1;
    in_ = out_ = 0;
    return ring_ != nullptr;
  }

  uint64_t Count() const { return in_ - out_; }
  void Clear() { in_ = out_ = 0; }

  // `samples` of silence ahead of what is written next.
  void WriteSilence(uint64_t samples) {
    for (uint64_t i = 0; i < samples; ++i) Write(0.0f);
  }
  void Write(float sample) { ring_[in_++ & mask_] = sample; }

  // The next `samples`; silence for any beyond Count().
  void Read(float* out, uint64_t samples) {
    const uint64_t there = std::min(samples, Count());
    for (uint64_t i = 0; i < there; ++i) out[i] = ring_[out_++ & mask_];
    std::fill(out + there, out + samples, 0.0f);
  }
  // Past the next `samples`, unread.
  void Skip(uint64_t samples) { out_ += std::min(samples, Count()); }

 private:
  std::unique_ptr<float[]> ring_;
  uint64_t mask_ = 0;
  uint64_t in_ = 0;
  uint64_t out_ = 0;
};

}  // namespace tavolin
