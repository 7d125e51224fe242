// Scratch memory of the rasterisers, taken from the host allocator once per triangle and reused
// for every span of it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/binding.h"

namespace pigmora {

class SpanBuffer {
 public:
  SpanBuffer() = default;
  ~SpanBuffer() { host::release(data_); }
  SpanBuffer(const SpanBuffer&) = delete;
  SpanBuffer& operator=(const SpanBuffer&) = delete;

  // Makes room for `bytes`; false when the host refuses the memory. Owns what it allocates.
  bool reserve(size_t bytes) {
    if (bytes <= size_) return true;
    host::release(data_);
    size_ = 0;
    data_ = static_cast<uint8_t*>(host::allocate(bytes));
    if (!data_) return false;
    size_ = bytes;
    return true;
  }
  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace pigmora
