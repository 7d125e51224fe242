#include "host/binding.h"

namespace host {
namespace {
Host* gHost = nullptr;
}

bool bind(const FunctionTable* table) {
  if (!table || !table->root || table->apiVersion < kApiVersion) return false;
  gHost = table->root;
  return true;
}

void unbind() {
  gHost = nullptr;
}

Host* bound() {
  return gHost;
}

Host& api() {
  return *gHost;
}

void* allocate(size_t bytes) {
  return gHost ? gHost->memory().alloc(bytes) : nullptr;
}

void release(void* p) {
  if (p && gHost) gHost->memory().free(p);
}

}  // namespace host
