// Arrays of objects that live in host memory one by one, owned by the array.
#pragma once

#include <cstddef>
#include <utility>

#include "host/binding.h"

namespace pigmora {

// A growable array of owned pointers in host memory. Growth fails softly (false), never throws.
template <class T>
class OwnedArray {
 public:
  OwnedArray() = default;
  OwnedArray(const OwnedArray&) = delete;
  OwnedArray& operator=(const OwnedArray&) = delete;
  OwnedArray(OwnedArray&& o) noexcept : items_(o.items_), size_(o.size_), capacity_(o.capacity_) {
    o.items_ = nullptr;
    o.size_ = o.capacity_ = 0;
  }
  ~OwnedArray() { clear(); }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* operator[](size_t i) const { return items_[i]; }
  T* back() const { return size_ ? items_[size_ - 1] : nullptr; }
  T* const* begin() const { return items_; }
  T* const* end() const { return items_ + size_; }

  // Takes ownership on success only.
  bool push(T* item) {
    if (size_ == capacity_ && !grow()) return false;
    items_[size_++] = item;
    return true;
  }
  // Constructs a new last item; null (and nothing added) when host memory runs out.
  template <class... Args>
  T* emplace(Args&&... args) {
    T* item = host::make<T>(std::forward<Args>(args)...);
    if (item && !push(item)) {
      host::destroy(item);
      return nullptr;
    }
    return item;
  }
  // Hands the last item to the caller.
  T* popBack() { return size_ ? items_[--size_] : nullptr; }
  // Hands the first item to the caller.
  // Hands item i to the caller; the items after it move up.
  T* take(size_t i) {
    if (i >= size_) return nullptr;
    T* item = items_[i];
    for (size_t k = i + 1; k < size_; ++k) items_[k - 1] = items_[k];
    --size_;
    return item;
  }
  T* popFront() {
    if (!size_) return nullptr;
    T* first = items_[0];
    for (size_t i = 1; i < size_; ++i) items_[i - 1] = items_[i];
    --size_;
    return first;
  }
  void clear() {
    for (size_t i = 0; i < size_; ++i) host::destroy(items_[i]);
    size_ = 0;
    host::destroyArray(items_);
    items_ = nullptr;
    capacity_ = 0;
  }

 private:
  bool grow() {
    const size_t capacity = capacity_ ? capacity_ * 2 : 8;
    T** items = host::makeArray<T*>(capacity);
    if (!items) return false;
    for (size_t i = 0; i < size_; ++i) items[i] = items_[i];
    host::destroyArray(items_);
    items_ = items;
    capacity_ = capacity;
    return true;
  }

  T** items_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

}  // namespace pigmora
