// The last one to three 32-bit lanes of a span, moved between memory and a vector without
// touching the bytes past them, so that a span's tail goes through the same four-lane code as
// the rest of it.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace pigmora {

inline __m128i loadLane(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return _mm_cvtsi32_si128(v);
}

inline void storeLane(uint8_t* p, __m128i v) {
  const int32_t low = _mm_cvtsi128_si32(v);
  std::memcpy(p, &low, sizeof low);
}

// Lanes 0 .. n-1 (n from 1 to 3) from p, the others zero.
inline __m128i loadLanes(const void* from, int32_t n) {
  const auto* p = static_cast<const uint8_t*>(from);
  if (n == 1) return loadLane(p);
  const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  if (n == 2) return low;
  return _mm_unpacklo_epi64(low, loadLane(p + 8));
}

// Lanes 0 .. n-1 (n from 1 to 3) of v to p.
inline void storeLanes(void* to, __m128i v, int32_t n) {
  auto* p = static_cast<uint8_t*>(to);
  if (n == 1) {
    storeLane(p, v);
    return;
  }
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
  if (n == 3) storeLane(p + 8, _mm_srli_si128(v, 8));
}

inline __m128 loadLanesPs(const float* p, int32_t n) {
  return _mm_castsi128_ps(loadLanes(p, n));
}
inline void storeLanesPs(float* p, __m128 v, int32_t n) {
  storeLanes(p, _mm_castps_si128(v), n);
}

}  // namespace pigmora
#endif
