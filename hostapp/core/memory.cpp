#include "hostapp/core/memory.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>

namespace hostapp {

bool CountingMemory::refuseNext() {
  ++count_;
  return (failAt_ != 0 && count_ == failAt_) || (failFrom_ != 0 && count_ >= failFrom_);
}

void* CountingMemory::alloc(size_t bytes) {
  if (refuseNext()) return nullptr;
  void* p = std::malloc(bytes ? bytes : 1);
  if (p) {
    ++live_;
    liveBytes_ += static_cast<int64_t>(malloc_usable_size(p));
    peakBytes_ = std::max(peakBytes_, liveBytes_);
  }
  return p;
}

void CountingMemory::free(void* p) {
  if (!p) return;
  --live_;
  liveBytes_ -= static_cast<int64_t>(malloc_usable_size(p));
  std::free(p);
}

}  // namespace hostapp
