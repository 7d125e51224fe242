// The exported entry point: initialisation, start, end, interface version and messages.
#include "host/entry.h"

#include "host/binding.h"

namespace {
constexpr int32_t kActionInit = 1;
constexpr int32_t kActionStart = 2;
constexpr int32_t kActionEnd = 3;
constexpr int32_t kActionInterfaceVersion = 4;
constexpr int32_t kActionMessage = 6;
constexpr int32_t kInterfaceVersion = 5;
constexpr int32_t kRefused = -3;

int32_t gUseCount = 0;
}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t c4d_main(int32_t action, void* p1,
                                                                   void* p2, void* p3) {
  switch (action) {
    case kActionInit: {
      if (++gUseCount != 1) return 1;
      const auto* table = static_cast<const host::FunctionTable*>(p1);
      if (!p3 || !host::bind(table) || !host::pluginBindResources()) {
        // Nothing was bound, so this call does not count as a user: a later, sound
        // initialisation must bind.
        host::unbind();
        --gUseCount;
        return kRefused;
      }
      return 1;
    }
    case kActionStart:
      return host::bound() && host::pluginStart() ? 1 : 0;
    case kActionEnd:
      if (gUseCount > 0 && --gUseCount == 0) {
        host::pluginEnd();
        host::unbind();
      }
      return 1;
    case kActionInterfaceVersion:
      return kInterfaceVersion;
    case kActionMessage:
      return host::pluginMessage(static_cast<int32_t>(reinterpret_cast<intptr_t>(p1)), p2) ? 1 : -1;
    default:
      return -1;
  }
}
