// The plug-in's side of the boundary: the function table kept at initialisation, and allocation
// through the host allocator.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "host/host.h"

namespace host {

// Keeps the table; false when the version is too old or the table is missing.
bool bind(const FunctionTable* table);
void unbind();
// The bound host, or null before initialisation.
Host* bound();
// The bound host; only valid between initialisation and end.
Host& api();

// Raw host memory; null on failure.
void* allocate(size_t bytes);
void release(void* p);

// Constructs a T in host memory; null when the host refuses the memory.
template <class T, class... Args>
T* make(Args&&... args) {
  void* p = allocate(sizeof(T));
  return p ? new (p) T(std::forward<Args>(args)...) : nullptr;
}

template <class T>
void destroy(T* p) {
  if (!p) return;
  p->~T();
  release(p);
}

// An owned array of trivially copyable T in host memory.
template <class T>
T* makeArray(size_t count) {
  void* p = allocate(sizeof(T) * (count ? count : 1));
  if (!p) return nullptr;
  T* items = static_cast<T*>(p);
  if constexpr (std::is_trivially_default_constructible_v<T>) {
    // Value-initialised trivial elements are zero: clear the block at once.
    std::memset(p, 0, sizeof(T) * count);
  } else {
    for (size_t i = 0; i < count; ++i) new (items + i) T();
  }
  return items;
}

template <class T>
void destroyArray(T* p) {
  release(p);
}

}  // namespace host
