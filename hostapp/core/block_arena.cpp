#include "hostapp/core/block_arena.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <type_traits>

namespace hostapp {

namespace {

constexpr size_t kPage = 4096;
constexpr size_t kChunk = size_t{2} << 20;
constexpr size_t kLargestBlock = size_t{256} << 10;
constexpr size_t kClasses = kLargestBlock / kPage;  // class k holds blocks of k pages
// User addresses on x86-64 and AArch64 Linux stay below 2^47.
constexpr int kAddressBits = 47;
constexpr size_t kRegions = size_t{1} << (kAddressBits - 21);

// The instrumented builds keep every block on the heap, where the address sanitizer sees it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kEnabled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kEnabled = false;
#else
constexpr bool kEnabled = true;
#endif
#else
constexpr bool kEnabled = true;
#endif

struct FreeBlock {
  FreeBlock* next;
};

struct Arena {
  std::mutex lock;
  // The class of the chunk at each 2 MiB region of the address space, 0 for none: one byte a
  // region, in a mapping whose pages appear only where chunks are.
  uint8_t* classOf = nullptr;
  bool broken = false;
  FreeBlock* free[kClasses + 1] = {};
  char* carve[kClasses + 1] = {};  // the next uncut block of each class's newest chunk
  char* carveEnd[kClasses + 1] = {};

  bool ready() {
    if (classOf || broken) return classOf != nullptr;
    void* table = ::mmap(nullptr, kRegions, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (table == MAP_FAILED) {
      broken = true;
      return false;
    }
    classOf = static_cast<uint8_t*>(table);
    return true;
  }

  // A fresh chunk aligned to its size, marked for huge pages.
  static char* newChunk() {
    void* raw =
        ::mmap(nullptr, 2 * kChunk, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t base = (start + kChunk - 1) & ~(kChunk - 1);
    if (base > start) ::munmap(raw, base - start);
    if (start + 2 * kChunk > base + kChunk)
      ::munmap(reinterpret_cast<void*>(base + kChunk), start + 2 * kChunk - (base + kChunk));
#if defined(MADV_HUGEPAGE)
    ::madvise(reinterpret_cast<void*>(base), kChunk, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<char*>(base);
  }
};

static_assert(std::is_trivially_destructible_v<std::mutex>);

Arena& arena() {
  // Nothing to construct at run time and nothing to destroy: blocks may be freed as the program
  // ends, and asking for the arena never allocates.
  static Arena a;
  return a;
}

size_t regionOf(const void* p) {
  return static_cast<size_t>(reinterpret_cast<uintptr_t>(p) >> 21);
}

}  // namespace

size_t arenaBlockSize(size_t bytes) {
  if (!kEnabled || bytes < kPage || bytes > kLargestBlock) return 0;
  return (bytes + kPage - 1) / kPage * kPage;
}

void* arenaAllocate(size_t bytes) {
  const size_t size = arenaBlockSize(bytes);
  if (!size) return nullptr;
  const size_t k = size / kPage;
  Arena& a = arena();
  const std::lock_guard<std::mutex> hold(a.lock);
  if (!a.ready()) return nullptr;
  if (FreeBlock* b = a.free[k]) {
    a.free[k] = b->next;
    return b;
  }
  if (a.carveEnd[k] - a.carve[k] < static_cast<ptrdiff_t>(size)) {
    char* chunk = Arena::newChunk();
    if (!chunk) return nullptr;
    if (regionOf(chunk) >= kRegions) {
      ::munmap(chunk, kChunk);
      return nullptr;
    }
    a.classOf[regionOf(chunk)] = static_cast<uint8_t>(k);
    a.carve[k] = chunk;
    a.carveEnd[k] = chunk + kChunk / size * size;
  }
  void* block = a.carve[k];
  a.carve[k] += size;
  return block;
}

size_t arenaFree(void* p) {
  if (!kEnabled || !p || regionOf(p) >= kRegions) return 0;
  Arena& a = arena();
  const std::lock_guard<std::mutex> hold(a.lock);
  if (!a.classOf) return 0;
  const size_t k = a.classOf[regionOf(p)];
  if (!k) return 0;
  auto* b = static_cast<FreeBlock*>(p);
  b->next = a.free[k];
  a.free[k] = b;
  return k * kPage;
}

}  // namespace hostapp
