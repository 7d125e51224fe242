// Whether the hot loops may take their 256-bit forms. Those are built for every x86-64 processor
// and chosen while painting, so one plug-in runs everywhere; each does the operations of its
// 128-bit form in the same order, without fused multiply-adds, and gives the same bytes.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PIGMORA_WIDE_VECTORS 1
#define PIGMORA_WIDE __attribute__((target("avx2")))
#include <immintrin.h>
#endif

namespace pigmora {

// True when the processor has 256-bit vectors, unless PIGMORA_NARROW_VECTORS is set in the
// environment: that keeps to the 128-bit forms, to compare the two.
bool wideVectors();

}  // namespace pigmora
