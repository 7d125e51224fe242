#include "hostapp/core/large_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace hostapp {

void adviseHugePages(void* p, size_t bytes) {
#if defined(MADV_HUGEPAGE)
  if (!p || bytes < kHugePageAdviceBytes) return;
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

void* allocateLarge(size_t bytes) {
  void* p = std::malloc(bytes ? bytes : 1);
  adviseHugePages(p, bytes);
  return p;
}

}  // namespace hostapp
