// A hash map in host memory keyed by object identity or an integer, whose growth reports failure
// instead of throwing. Open addressing with linear probing; it grows at load factor 0.65.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "host/binding.h"

namespace pigmora {

template <class K, class V>
class HostMap {
  static_assert(std::is_trivially_copyable_v<K> && sizeof(K) <= sizeof(uint64_t));
  static_assert(std::is_trivially_copyable_v<V>);

 public:
  HostMap() = default;
  ~HostMap() { host::release(slots_); }
  HostMap(const HostMap&) = delete;
  HostMap& operator=(const HostMap&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // The value stored for `key`, or null.
  V* find(const K& key) const {
    Slot* s = slot(key);
    return s ? &s->value : nullptr;
  }
  // Stores `value` under `key`, replacing what was there; false when memory runs out (the map is
  // then as it was).
  bool insert(const K& key, const V& value) {
    if (V* v = find(key)) {
      *v = value;
      return true;
    }
    if ((taken_ + 1) * 100 > capacity_ * 65 && !rehash(size_ + 1)) return false;
    size_t i = home(key);
    while (slots_[i].state == kUsed) i = (i + 1) & (capacity_ - 1);
    if (slots_[i].state == kEmpty) ++taken_;
    slots_[i] = Slot{key, value, kUsed};
    ++size_;
    return true;
  }
  bool erase(const K& key) {
    Slot* s = slot(key);
    if (!s) return false;
    s->state = kGone;
    --size_;
    return true;
  }
  // Calls fn(key, value) for every entry, in no particular order.
  template <class Fn>
  void forEach(Fn&& fn) const {
    for (size_t i = 0; i < capacity_; ++i)
      if (slots_[i].state == kUsed) fn(slots_[i].key, slots_[i].value);
  }
  // Removes every entry for which pred(key, value) is true.
  template <class Pred>
  void eraseIf(Pred&& pred) {
    for (size_t i = 0; i < capacity_; ++i)
      if (slots_[i].state == kUsed && pred(slots_[i].key, slots_[i].value)) {
        slots_[i].state = kGone;
        --size_;
      }
  }
  // Empties the map and gives its memory back.
  void clear() {
    host::release(slots_);
    slots_ = nullptr;
    size_ = taken_ = capacity_ = 0;
  }

 private:
  enum : uint8_t { kEmpty = 0, kUsed = 1, kGone = 2 };
  struct Slot {
    K key;
    V value;
    uint8_t state;
  };

  Slot* slot(const K& key) const {
    if (!capacity_) return nullptr;
    for (size_t i = home(key);; i = (i + 1) & (capacity_ - 1)) {
      Slot& s = slots_[i];
      if (s.state == kEmpty) return nullptr;
      if (s.state == kUsed && same(s.key, key)) return &s;
    }
  }
  static uint64_t bits(const K& key) {
    uint64_t b = 0;
    std::memcpy(&b, &key, sizeof(K));
    return b;
  }
  static bool same(const K& a, const K& b) { return bits(a) == bits(b); }
  size_t home(const K& key) const {
    uint64_t x = bits(key);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    return static_cast<size_t>(x) & (capacity_ - 1);
  }
  // Moves the entries into a table big enough for `wanted` of them below the load factor.
  bool rehash(size_t wanted) {
    size_t capacity = 16;
    while (wanted * 100 > capacity * 65) {
      if (capacity > SIZE_MAX / 2 / sizeof(Slot)) return false;
      capacity *= 2;
    }
    auto* slots = static_cast<Slot*>(host::allocate(capacity * sizeof(Slot)));
    if (!slots) return false;
    std::memset(static_cast<void*>(slots), 0, capacity * sizeof(Slot));
    Slot* old = slots_;
    const size_t oldCapacity = capacity_;
    slots_ = slots;
    capacity_ = capacity;
    size_ = taken_ = 0;
    for (size_t i = 0; i < oldCapacity; ++i)
      if (old[i].state == kUsed) {
        size_t j = home(old[i].key);
        while (slots_[j].state != kEmpty) j = (j + 1) & (capacity_ - 1);
        slots_[j] = old[i];
        ++size_;
        ++taken_;
      }
    host::release(old);
    return true;
  }

  Slot* slots_ = nullptr;
  size_t size_ = 0;      // live entries
  size_t taken_ = 0;     // live and removed entries: what the probes walk over
  size_t capacity_ = 0;  // a power of two, or 0
};

}  // namespace pigmora
