// Large blocks backed by the kernel's 2 MiB pages.
//
// A 2048² layer is 4096 pages of 4 KiB, and each one costs a page fault the first time it is
// written; on a virtual machine a fault costs several microseconds, so a fresh texture took longer
// to fault in than to fill. Blocks of a few MiB are therefore marked for huge pages before they
// are first touched, which the kernel honours when its transparent huge pages are set to
// "madvise" or "always" (and ignores otherwise).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace hostapp {

// Blocks from this size up are worth the advice: below it most of a block would sit in the
// small pages at its ends anyway.
constexpr size_t kHugePageAdviceBytes = size_t{4} << 20;

// Marks the whole 2 MiB pages inside [p, p + bytes) for huge pages. Call it before the block is
// first written; smaller blocks and failures are left as they are.
void adviseHugePages(void* p, size_t bytes);

// std::malloc with the advice for large blocks; free with std::free.
void* allocateLarge(size_t bytes);

// A standard allocator whose large blocks get the advice, for the host's big scratch vectors.
template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    void* p = allocateLarge(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) { std::free(p); }
  template <class U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

}  // namespace hostapp
