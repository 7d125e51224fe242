#include "hostapp/core/memory.h"

#include <cstdlib>

namespace hostapp {

bool CountingMemory::refuseNext() {
  ++count_;
  return (failAt_ != 0 && count_ == failAt_) || (failFrom_ != 0 && count_ >= failFrom_);
}

void* CountingMemory::alloc(size_t bytes) {
  if (refuseNext()) return nullptr;
  void* p = std::malloc(bytes ? bytes : 1);
  if (p) ++live_;
  return p;
}

void CountingMemory::free(void* p) {
  if (!p) return;
  --live_;
  std::free(p);
}

}  // namespace hostapp
