#include "hostapp/core/memory.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "hostapp/core/block_arena.h"
#include "hostapp/core/large_pages.h"

namespace hostapp {

namespace {
std::atomic<CountingMemory::RefusalHook> refusalHook{nullptr};
std::atomic<uint64_t> refusalCount{0};
}  // namespace

uint64_t CountingMemory::refusals() {
  return refusalCount.load(std::memory_order_relaxed);
}

void CountingMemory::noteRefusal() {
  refusalCount.fetch_add(1, std::memory_order_relaxed);
}

void CountingMemory::setRefusalHook(RefusalHook hook) {
  refusalHook.store(hook);
}

bool CountingMemory::refuseNext() {
  ++count_;
  const RefusalHook hook = refusalHook.load(std::memory_order_relaxed);
  const bool refused = (failAt_ != 0 && count_ == failAt_) ||
                       (failFrom_ != 0 && count_ >= failFrom_) || (hook && hook());
  if (refused) noteRefusal();
  return refused;
}

std::string byteSize(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double v = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (v >= 1024 && unit < 5) {
    v /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", v, kUnits[unit]);
  return text;
}

uint64_t CountingMemory::machineMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page <= 0) return uint64_t{8} << 30;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page);
}

bool CountingMemory::reserve(uint64_t bytes) {
  if (!fits(bytes)) return false;
  reserved_ += bytes;
  return true;
}

void* CountingMemory::alloc(size_t bytes) {
  if (refuseNext()) return nullptr;
  // Blocks of whole pages, undo tiles above all, come from the arena; the rest from the heap.
  size_t size = arenaBlockSize(bytes);
  void* p = size ? arenaAllocate(bytes) : nullptr;
  if (!p) {
    p = allocateLarge(bytes);
    size = p ? malloc_usable_size(p) : 0;
  }
  if (!p) noteRefusal();
  if (p) {
    ++live_;
    liveBytes_ += static_cast<int64_t>(size);
    peakBytes_ = std::max(peakBytes_, liveBytes_);
  }
  return p;
}

void CountingMemory::free(void* p) {
  if (!p) return;
  --live_;
  if (const size_t size = arenaFree(p)) {
    liveBytes_ -= static_cast<int64_t>(size);
    return;
  }
  liveBytes_ -= static_cast<int64_t>(malloc_usable_size(p));
  std::free(p);
}

}  // namespace hostapp
