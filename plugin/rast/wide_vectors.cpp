#include "plugin/rast/wide_vectors.h"

#include <cstdlib>

namespace pigmora {

bool wideVectors() {
#if defined(PIGMORA_WIDE_VECTORS)
  static const bool wide =
      __builtin_cpu_supports("avx2") && std::getenv("PIGMORA_NARROW_VECTORS") == nullptr;
  return wide;
#else
  return false;
#endif
}

}  // namespace pigmora
