// A growable array in host memory whose growth reports failure instead of throwing.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

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

  bool reserve(size_t n) {
    if (n <= capacity_) return true;
    auto* p = static_cast<T*>(host::allocate(n * sizeof(T)));
    if (!p) return false;
    if (size_) std::memcpy(p, data_, size_ * sizeof(T));
    host::release(data_);
    data_ = p;
    capacity_ = n;
    return true;
  }
  bool push(const T& v) {
    if (size_ == capacity_ && !reserve(capacity_ ? capacity_ * 2 : 1024)) return false;
    data_[size_++] = v;
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
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
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
