#include "hostapp/paint/colormode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hostapp {

namespace {
using Kind = ModeLayout::Kind;
constexpr ModeLayout kLayouts[] = {
    {1, Kind::kAlpha, 1, 1, true},  {2, Kind::kGrey, 1, 1, false},  {3, Kind::kGrey, 1, 2, true},
    {4, Kind::kRGB, 1, 3, false},   {5, Kind::kRGB, 1, 4, true},    {6, Kind::kCMYK, 1, 4, false},
    {7, Kind::kCMYK, 1, 5, true},   {8, Kind::kMask, 1, 1, false},  {9, Kind::kMask, 1, 2, true},
    {18, Kind::kGrey, 2, 1, false}, {19, Kind::kGrey, 2, 2, true},  {20, Kind::kRGB, 2, 3, false},
    {21, Kind::kRGB, 2, 4, true},   {24, Kind::kMask, 2, 1, false}, {34, Kind::kGrey, 4, 1, false},
    {35, Kind::kGrey, 4, 2, true},  {36, Kind::kRGB, 4, 3, false},  {37, Kind::kRGB, 4, 4, true},
    {40, Kind::kMask, 4, 1, false},
};

// Every 8-bit component as a float, 0 .. 1: the division done once per value, not per pixel.
const std::array<float, 256> kByteToFloat = [] {
  std::array<float, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<float>(i) / 255.f;
  return t;
}();

// Round half away from zero of v limited to [0, 1] times unit, as std::lround gives it, with
// anything that is not a number read as 0. Through double the sum is exact, so truncating it is
// the rounding.
inline uint32_t quantise(float v, float unit) {
  const float c = v > 0.f ? (v < 1.f ? v : 1.f) : 0.f;
  return static_cast<uint32_t>(static_cast<double>(c * unit) + 0.5);
}

// quantise(v, 255) of `n` floats into bytes, four at a time where the vector unit allows: the
// clamp takes NaN and -0 to +0 as the comparisons above do, and the rounding goes through double
// as there.
void quantiseToBytes(const uint8_t* in, uint8_t* out, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.f), unit = _mm_set1_ps(255.f);
  const __m128d half = _mm_set1_pd(0.5);
  for (; i + 4 <= n; i += 4) {
    const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(in + 4 * i));
    const __m128 c = _mm_mul_ps(_mm_min_ps(_mm_max_ps(v, zero), one), unit);
    const __m128i lo = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(c), half));
    const __m128i hi = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(c, c)), half));
    const __m128i words = _mm_packs_epi32(_mm_unpacklo_epi64(lo, hi), _mm_setzero_si128());
    const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(out + i, &bytes, 4);
  }
#endif
  for (; i < n; ++i) {
    float v;
    std::memcpy(&v, in + 4 * i, 4);
    out[i] = static_cast<uint8_t>(quantise(v, 255.f));
  }
}

inline float readComponent(const uint8_t* p, int32_t bytes) {
  switch (bytes) {
    case 1:
      return kByteToFloat[*p];
    case 2: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return static_cast<float>(v) / 65535.f;
    }
    default: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

inline void writeComponent(uint8_t* p, int32_t bytes, float v) {
  switch (bytes) {
    case 1:
      *p = static_cast<uint8_t>(quantise(v, 255.f));
      break;
    case 2: {
      const uint16_t q = static_cast<uint16_t>(quantise(v, 65535.f));
      std::memcpy(p, &q, 2);
      break;
    }
    default:
      std::memcpy(p, &v, 4);
      break;
  }
}

// RGB to RGB with or without alpha, any depths: what decodePixel and encodePixel do, without
// their dispatch per pixel.
template <class S, bool SA, class D, bool DA>
void convertRGB(const uint8_t* in, uint8_t* out, int32_t count) {
  constexpr size_t kIn = sizeof(S) * (SA ? 4 : 3), kOut = sizeof(D) * (DA ? 4 : 3);
  for (int32_t i = 0; i < count; ++i, in += kIn, out += kOut) {
    float c[4];
    c[0] = SA ? readComponent(in, sizeof(S)) : 1.f;
    for (int k = 0; k < 3; ++k)
      c[k + 1] = readComponent(in + sizeof(S) * (k + (SA ? 1 : 0)), sizeof(S));
    if constexpr (DA) writeComponent(out, sizeof(D), c[0]);
    for (int k = 0; k < 3; ++k)
      writeComponent(out + sizeof(D) * (k + (DA ? 1 : 0)), sizeof(D), c[k + 1]);
  }
}

template <class S, bool SA>
bool convertFromRGB(int32_t dstMode, const uint8_t* in, uint8_t* out, int32_t count) {
  switch (dstMode) {
    case 4:
      convertRGB<S, SA, uint8_t, false>(in, out, count);
      return true;
    case 5:
      convertRGB<S, SA, uint8_t, true>(in, out, count);
      return true;
    case 20:
      convertRGB<S, SA, uint16_t, false>(in, out, count);
      return true;
    case 21:
      convertRGB<S, SA, uint16_t, true>(in, out, count);
      return true;
    case 36:
      convertRGB<S, SA, float, false>(in, out, count);
      return true;
    case 37:
      convertRGB<S, SA, float, true>(in, out, count);
      return true;
    default:
      return false;
  }
}

bool convertRGBModes(int32_t srcMode, const uint8_t* in, int32_t dstMode, uint8_t* out,
                     int32_t count) {
  switch (srcMode) {
    case 4:
      return convertFromRGB<uint8_t, false>(dstMode, in, out, count);
    case 5:
      return convertFromRGB<uint8_t, true>(dstMode, in, out, count);
    case 20:
      return convertFromRGB<uint16_t, false>(dstMode, in, out, count);
    case 21:
      return convertFromRGB<uint16_t, true>(dstMode, in, out, count);
    case 36:
      return convertFromRGB<float, false>(dstMode, in, out, count);
    case 37:
      return convertFromRGB<float, true>(dstMode, in, out, count);
    default:
      return false;
  }
}

// Rec. 709 weights; they sum to one, so a grey colour keeps its value.
inline float luma(const PixelF& p) {
  return 0.2126f * p.r + 0.7152f * p.g + 0.0722f * p.b;
}
}  // namespace

const ModeLayout* modeLayout(int32_t mode) {
  // Row calls ask for every span: index the table by mode once.
  static const auto byMode = [] {
    std::array<const ModeLayout*, 41> table{};
    for (const ModeLayout& l : kLayouts) table[static_cast<size_t>(l.mode)] = &l;
    return table;
  }();
  return mode >= 0 && mode <= 40 ? byMode[static_cast<size_t>(mode)] : nullptr;
}

PixelF decodePixel(const ModeLayout& l, const uint8_t* src) {
  PixelF p;
  const int32_t cb = l.componentBytes;
  int32_t c = 0;
  if (l.kind == Kind::kAlpha) {
    p.a = readComponent(src, cb);
    p.r = p.g = p.b = p.a;
    return p;
  }
  if (l.alpha) p.a = readComponent(src + cb * c++, cb);
  switch (l.kind) {
    case Kind::kGrey:
    case Kind::kMask:
      p.r = p.g = p.b = readComponent(src + cb * c, cb);
      break;
    case Kind::kRGB:
      p.r = readComponent(src + cb * c, cb);
      p.g = readComponent(src + cb * (c + 1), cb);
      p.b = readComponent(src + cb * (c + 2), cb);
      break;
    case Kind::kCMYK: {
      const float cy = readComponent(src + cb * c, cb), m = readComponent(src + cb * (c + 1), cb);
      const float y = readComponent(src + cb * (c + 2), cb),
                  k = readComponent(src + cb * (c + 3), cb);
      p.r = (1 - cy) * (1 - k);
      p.g = (1 - m) * (1 - k);
      p.b = (1 - y) * (1 - k);
      break;
    }
    default:
      break;
  }
  return p;
}

void encodePixel(const ModeLayout& l, const PixelF& p, uint8_t* dst) {
  const int32_t cb = l.componentBytes;
  int32_t c = 0;
  if (l.kind == Kind::kAlpha) {
    writeComponent(dst, cb, p.a);
    return;
  }
  if (l.alpha) writeComponent(dst + cb * c++, cb, p.a);
  switch (l.kind) {
    case Kind::kGrey:
    case Kind::kMask:
      writeComponent(dst + cb * c, cb, luma(p));
      break;
    case Kind::kRGB:
      writeComponent(dst + cb * c, cb, p.r);
      writeComponent(dst + cb * (c + 1), cb, p.g);
      writeComponent(dst + cb * (c + 2), cb, p.b);
      break;
    case Kind::kCMYK: {
      const float k = 1.f - std::max({p.r, p.g, p.b});
      const float d = k < 1.f ? 1.f - k : 1.f;
      writeComponent(dst + cb * c, cb, k < 1.f ? (1.f - p.r - k) / d : 0.f);
      writeComponent(dst + cb * (c + 1), cb, k < 1.f ? (1.f - p.g - k) / d : 0.f);
      writeComponent(dst + cb * (c + 2), cb, k < 1.f ? (1.f - p.b - k) / d : 0.f);
      writeComponent(dst + cb * (c + 3), cb, k);
      break;
    }
    default:
      break;
  }
}

bool convertPixels(int32_t srcMode, const void* src, int32_t dstMode, void* dst, int32_t count) {
  const ModeLayout* s = modeLayout(srcMode);
  const ModeLayout* d = modeLayout(dstMode);
  if (!s || !d || count < 0) return false;
  if (srcMode == dstMode) {
    std::memmove(dst, src, static_cast<size_t>(count) * s->pixelBytes());
    return true;
  }
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  // The bleed and the blur read 8-bit layers as float RGB pixel by pixel: keep that path short.
  if ((srcMode == 4 || srcMode == 5) && dstMode == 36) {
    const int32_t stride = srcMode == 5 ? 4 : 3, first = srcMode == 5 ? 1 : 0;
    float* f = static_cast<float*>(dst);
    for (int32_t i = 0; i < count; ++i, in += stride)
      for (int c = 0; c < 3; ++c) f[3 * i + c] = kByteToFloat[in[first + c]];
    return true;
  }
  // Float RGB to 8-bit RGB with the same alpha: every component on its own.
  if (s->kind == Kind::kRGB && d->kind == Kind::kRGB && s->alpha == d->alpha &&
      s->componentBytes == 4 && d->componentBytes == 1) {
    quantiseToBytes(in, out, static_cast<size_t>(count) * static_cast<size_t>(s->components));
    return true;
  }
  if (convertRGBModes(srcMode, in, dstMode, out, count)) return true;
  for (int32_t i = 0; i < count; ++i)
    encodePixel(*d, decodePixel(*s, in + i * s->pixelBytes()), out + i * d->pixelBytes());
  return true;
}

}  // namespace hostapp
