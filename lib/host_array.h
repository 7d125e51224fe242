// A growable array in host memory whose growth reports failure instead of throwing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "host/binding.h"

namespace pigmora {

template <class T>
class HostArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  HostArray() = default;
  ~HostArray() { host::release(data_); }
  HostArray(const HostArray&) = delete;
  HostArray& operator=(const HostArray&) = delete;
  HostArray(HostArray&& o) noexcept { swap(o); }
  HostArray& operator=(HostArray&& o) noexcept {
    swap(o);
    return *this;
  }

  bool reserve(size_t n) {
    if (n <= capacity_) return true;
    if (n > SIZE_MAX / sizeof(T)) return false;
    auto* p = static_cast<T*>(host::allocate(n * sizeof(T)));
    if (!p) return false;
    if (size_) std::memcpy(p, data_, size_ * sizeof(T));
    host::release(data_);
    data_ = p;
    capacity_ = n;
    return true;
  }
  bool push(const T& v) {
    if (size_ == capacity_ && !reserve(capacity_ ? capacity_ * 2 : 16)) return false;
    data_[size_++] = v;
    return true;
  }
  // Grows or shrinks to n items; new items are `fill`. False, changing nothing, when memory runs
  // out.
  bool resize(size_t n, const T& fill = T{}) {
    if (n > capacity_ && !reserve(n > capacity_ * 2 ? n : capacity_ * 2)) return false;
    for (size_t i = size_; i < n; ++i) data_[i] = fill;
    size_ = n;
    return true;
  }
  // n copies of `value` in place of what was held; false (and empty) when memory runs out.
  bool assign(size_t n, const T& value) {
    size_ = 0;
    if (!reserve(n)) return false;
    for (size_t i = 0; i < n; ++i) data_[i] = value;
    size_ = n;
    return true;
  }
  // A copy of [from, from + n); false (and empty) when memory runs out.
  bool assign(const T* from, size_t n) {
    size_ = 0;
    if (!reserve(n)) return false;
    if (n) std::memcpy(data_, from, n * sizeof(T));
    size_ = n;
    return true;
  }
  void clear() { size_ = 0; }
  // Removes item i; the ones after it move down.
  void erase(size_t i) {
    if (i >= size_) return;
    if (i + 1 < size_) std::memmove(data_ + i, data_ + i + 1, (size_ - i - 1) * sizeof(T));
    --size_;
  }
  // Drops the items from n on.
  void truncate(size_t n) {
    if (n < size_) size_ = n;
  }
  T& back() { return data_[size_ - 1]; }
  T pop() { return data_[--size_]; }
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  void swap(HostArray& o) {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(capacity_, o.capacity_);
  }

 private:
  T* data_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

}  // namespace pigmora
