#include "plugin/rast/blend.h"

#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include "plugin/paintchannels.h"
#include "plugin/rast/partial_lanes.h"
#include "plugin/rast/pixel_components.h"

namespace pigmora {

namespace {

#if defined(__SSE2__)
// Four 8-bit alpha + RGB pixels blended at once, for the mode most layers are painted in: `old`
// the pixels, o their opacities (painted where above 0), cr, cg, cb the colour's components.
// The same operations in the same order as the one-pixel kernel, so both give identical bytes.
inline __m128i blendARGB8(__m128i old, __m128 o, __m128 cr, __m128 cg, __m128 cb) {
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.f), unit = _mm_set1_ps(255.f);
  const __m128 tiny = _mm_set1_ps(0.000001f);
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  const __m128i colourBytes = _mm_set1_epi32(static_cast<int32_t>(0xFFFFFF00u));
  const __m128 painted = _mm_cmpgt_ps(o, zero);
  const __m128i keepOld = _mm_castps_si128(painted);
  o = _mm_min_ps(o, one);
  const __m128 pr = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(old, 8), lowByte));
  const __m128 pg = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(old, 16), lowByte));
  const __m128 pb = _mm_cvtepi32_ps(_mm_srli_epi32(old, 24));
  auto toByte = [&](__m128 v) { return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(v, zero), unit)); };
  // The pixels of alpha byte na whose colours weigh the paint by wc and the pixel by wp.
  auto mix = [&](__m128i na, __m128 wc, __m128 wp) {
    const __m128i nr = toByte(_mm_add_ps(_mm_mul_ps(wc, cr), _mm_mul_ps(wp, pr)));
    const __m128i ng = toByte(_mm_add_ps(_mm_mul_ps(wc, cg), _mm_mul_ps(wp, pg)));
    const __m128i nb = toByte(_mm_add_ps(_mm_mul_ps(wc, cb), _mm_mul_ps(wp, pb)));
    return _mm_or_si128(_mm_or_si128(na, _mm_slli_epi32(nr, 8)),
                        _mm_or_si128(_mm_slli_epi32(ng, 16), _mm_slli_epi32(nb, 24)));
  };
  const __m128i opaque = _mm_cmpeq_epi32(_mm_and_si128(old, lowByte), lowByte);
  if (_mm_movemask_epi8(opaque) == 0xFFFF) {
    // Over opaque pixels alpha is 1: covered and its inverse are exactly 1, the weights exactly
    // o and 1 - o, and the pixels stay opaque.
    const __m128i blended = mix(lowByte, o, _mm_sub_ps(one, o));
    return _mm_or_si128(_mm_and_si128(keepOld, blended), _mm_andnot_si128(keepOld, old));
  }
  const __m128 pa = _mm_cvtepi32_ps(_mm_and_si128(old, lowByte));
  const __m128 a = _mm_div_ps(pa, unit);
  const __m128 keep = _mm_sub_ps(one, o);
  const __m128 covered = _mm_sub_ps(one, _mm_mul_ps(_mm_sub_ps(one, a), keep));
  const __m128 visible = _mm_cmpgt_ps(covered, tiny);
  const __m128 inv = _mm_div_ps(one, covered);
  const __m128 wc = _mm_mul_ps(o, inv);
  const __m128 wp = _mm_mul_ps(_mm_mul_ps(keep, a), inv);
  const __m128i blended = mix(toByte(_mm_mul_ps(covered, unit)), wc, wp);
  // Nothing left to see: alpha 0, colour kept. Unpainted lanes keep everything.
  const __m128i hidden = _mm_and_si128(old, colourBytes);
  const __m128i vis = _mm_castps_si128(visible);
  const __m128i result = _mm_or_si128(_mm_and_si128(vis, blended), _mm_andnot_si128(vis, hidden));
  return _mm_or_si128(_mm_and_si128(keepOld, result), _mm_andnot_si128(keepOld, old));
}

// A span of 8-bit alpha + RGB pixels, four at a time; the last one to three go as a block whose
// other lanes are unpainted, and lanes never mix. With `colours`, pixel k takes its own colour,
// the 8-bit pixel at colours + 4k; else every pixel takes cf.
void spanARGB8(uint8_t* row, int32_t count, const float* opacity, const float* cf,
               const uint8_t* colours = nullptr) {
  const __m128 zero = _mm_setzero_ps();
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  __m128 cr = _mm_set1_ps(cf[1]), cg = _mm_set1_ps(cf[2]), cb = _mm_set1_ps(cf[3]);
  auto ownColours = [&](__m128i c) {
    cr = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(c, 8), lowByte));
    cg = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(c, 16), lowByte));
    cb = _mm_cvtepi32_ps(_mm_srli_epi32(c, 24));
  };
  int32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m128 o = _mm_loadu_ps(opacity + k);
    if (_mm_movemask_ps(_mm_cmpgt_ps(o, zero)) == 0) continue;
    if (colours)
      ownColours(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + 4 * static_cast<size_t>(k))));
    uint8_t* p = row + 4 * static_cast<size_t>(k);
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), blendARGB8(old, o, cr, cg, cb));
  }
  const int32_t rest = count - k;
  if (rest <= 0) return;
  const __m128 o = loadLanesPs(opacity + k, rest);
  if (_mm_movemask_ps(_mm_cmpgt_ps(o, zero)) == 0) return;
  if (colours) ownColours(loadLanes(colours + 4 * static_cast<size_t>(k), rest));
  uint8_t* p = row + 4 * static_cast<size_t>(k);
  storeLanes(p, blendARGB8(loadLanes(p, rest), o, cr, cg, cb), rest);
}

// 16-bit alpha + RGB pixels, four at a time: each pixel is one vector of its four components,
// the four turned into one vector per component, blended lane by lane with the one-pixel
// kernel's operations in its order, and turned back. (Float pixels gain nothing from it: their
// one-pixel blend is as quick as the turning round.)
struct WidePixels16 {
  static constexpr size_t kBytes = 8;
  using C = Component<uint16_t>;

  static __m128 load(const uint8_t* p) {
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_setzero_si128()));
  }

  // v holds whole values from 0 to 65535. There is no unsigned pack below SSE4.1: the values
  // move down by 32768 into the signed range, and the top bit of each 16-bit result moves them
  // back.
  static void store(uint8_t* p, __m128 v) {
    const __m128i bias = _mm_set1_epi32(32768);
    const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(_mm_cvttps_epi32(v), bias), bias);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p),
                     _mm_xor_si128(packed, _mm_set1_epi16(static_cast<int16_t>(0x8000))));
  }

  // A stored component from a blended value, limited to the range (truncated on the way out).
  static __m128 limit(__m128 v) {
    return _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(C::kMax));
  }

  // Pixels [0, n) of a block (n from 1 to 4) from row; colours per pixel when given.
  static void block(uint8_t* row, int32_t n, const float* opacity, const __m128 colour[3],
                    const uint8_t* colours) {
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.f);
    __m128 o = n == 4 ? _mm_loadu_ps(opacity) : loadLanesPs(opacity, n);
    const __m128 painted = _mm_cmpgt_ps(o, zero);
    if (_mm_movemask_ps(painted) == 0) return;
    o = _mm_min_ps(o, one);
    __m128 px[4], c[4];
    for (int32_t j = 0; j < 4; ++j) px[j] = j < n ? load(row + j * kBytes) : zero;
    _MM_TRANSPOSE4_PS(px[0], px[1], px[2], px[3]);
    __m128 cr = colour[0], cg = colour[1], cb = colour[2];
    if (colours) {
      for (int32_t j = 0; j < 4; ++j) c[j] = j < n ? load(colours + j * kBytes) : zero;
      _MM_TRANSPOSE4_PS(c[0], c[1], c[2], c[3]);
      cr = c[1];
      cg = c[2];
      cb = c[3];
    }
    // Division by a power of two and multiplication by its inverse give the same value.
    const __m128 a = _mm_mul_ps(px[0], _mm_set1_ps(1.f / C::kAlphaUnit));
    const __m128 keep = _mm_sub_ps(one, o);
    const __m128 covered = _mm_sub_ps(one, _mm_mul_ps(_mm_sub_ps(one, a), keep));
    const __m128 visible = _mm_cmpgt_ps(covered, _mm_set1_ps(0.000001f));
    const __m128 inv = _mm_div_ps(one, covered);
    const __m128 wc = _mm_mul_ps(o, inv);
    const __m128 wp = _mm_mul_ps(_mm_mul_ps(keep, a), inv);
    // Unpainted lanes keep everything; painted ones left with nothing to see take alpha 0 and
    // keep their colour.
    auto pick = [](__m128 mask, __m128 yes, __m128 no) {
      return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
    };
    const __m128 shown = _mm_and_ps(painted, visible);
    __m128 out[4] = {
        pick(shown, limit(_mm_mul_ps(covered, _mm_set1_ps(C::kAlphaUnit))),
             pick(painted, zero, px[0])),
        pick(shown, limit(_mm_add_ps(_mm_mul_ps(wc, cr), _mm_mul_ps(wp, px[1]))), px[1]),
        pick(shown, limit(_mm_add_ps(_mm_mul_ps(wc, cg), _mm_mul_ps(wp, px[2]))), px[2]),
        pick(shown, limit(_mm_add_ps(_mm_mul_ps(wc, cb), _mm_mul_ps(wp, px[3]))), px[3])};
    _MM_TRANSPOSE4_PS(out[0], out[1], out[2], out[3]);
    for (int32_t j = 0; j < n; ++j) store(row + j * kBytes, out[j]);
  }

  // A span; with `colours`, pixel k takes its own colour at colours + k pixels, else cf.
  static void span(uint8_t* row, int32_t count, const float* opacity, const float* cf,
                   const uint8_t* colours) {
    const __m128 colour[3] = {_mm_set1_ps(cf[1]), _mm_set1_ps(cf[2]), _mm_set1_ps(cf[3])};
    for (int32_t k = 0; k < count; k += 4) {
      const size_t at = static_cast<size_t>(k) * kBytes;
      block(row + at, count - k < 4 ? count - k : 4, opacity + k, colour,
            colours ? colours + at : nullptr);
    }
  }
};
#endif

// The blend of one mode: N components of type T, alpha first when A.
template <class T, int N, bool A>
struct Kernel {
  using C = Component<T>;
  static constexpr size_t kSize = sizeof(T);
  static constexpr size_t kBytes = kSize * N;

  static inline void loadColor(const uint8_t* c, float* cf) {
    for (int i = 0; i < N; ++i) cf[i] = load<T>(c + i * kSize);
  }

  // o is in (0, 1]; cf holds the colour's components.
  static inline void pixel(uint8_t* p, const float* cf, float o) {
    if constexpr (!A) {
      const float keep = 1.f - o;
      for (int i = 0; i < N; ++i)
        store<T>(p + i * kSize, load<T>(p + i * kSize) * keep + cf[i] * o);
    } else {
      const float a = loadAlpha<T>(p);
      const float keep = 1.f - o;
      const float covered = 1.f - (1.f - a) * keep;
      if (!(covered > 0.000001f)) {
        // Nothing left to see: the colour stays as it was.
        store<T>(p, 0.f);
        return;
      }
      if constexpr (std::is_same_v<T, float>)
        store<T>(p, covered);
      else
        store<T>(p, covered * C::kAlphaUnit);
      const float inv = 1.f / covered;
      const float wc = o * inv;
      const float wp = keep * a * inv;
      for (int i = 1; i < N; ++i) store<T>(p + i * kSize, wc * cf[i] + wp * load<T>(p + i * kSize));
    }
  }

  // Brightness of an RGB pixel, 0 .. 1.
  static inline float brightness(const uint8_t* c) {
    const size_t first = A ? kSize : 0;
    if constexpr (std::is_same_v<T, uint8_t>)
      return kByteSumUnits.v[c[first] + c[first + 1] + c[first + 2]];
    return (load<T>(c + first) + load<T>(c + first + kSize) + load<T>(c + first + 2 * kSize)) /
           C::kBrightnessUnit;
  }

  static void span(uint8_t* row, int32_t count, const float* opacity, size_t opacityStep,
                   const uint8_t* color, size_t colorStep) {
    float cf[N];
    if (colorStep == 0) {
      // One colour for the whole span: its components are read once.
      loadColor(color, cf);
#if defined(__SSE2__)
      if constexpr (N == 4 && A && !std::is_same_v<T, float>) {
        if (opacityStep == 1) {
          if constexpr (std::is_same_v<T, uint8_t>)
            spanARGB8(row, count, opacity, cf);
          else
            WidePixels16::span(row, count, opacity, cf, nullptr);
          return;
        }
      }
#endif
      for (int32_t k = 0; k < count; ++k, row += kBytes, opacity += opacityStep) {
        const float o = *opacity;
        if (o > 0.f) pixel(row, cf, o < 1.f ? o : 1.f);
      }
      return;
    }
#if defined(__SSE2__)
    if constexpr (N == 4 && A && !std::is_same_v<T, float>) {
      if (opacityStep == 1 && colorStep == kBytes) {
        const float unused[4] = {};
        if constexpr (std::is_same_v<T, uint8_t>)
          spanARGB8(row, count, opacity, unused, color);
        else
          WidePixels16::span(row, count, opacity, unused, color);
        return;
      }
    }
#endif
    for (int32_t k = 0; k < count; ++k, row += kBytes, opacity += opacityStep, color += colorStep) {
      const float o = *opacity;
      if (!(o > 0.f)) continue;
      loadColor(color, cf);
      pixel(row, cf, o < 1.f ? o : 1.f);
    }
  }

  // A stencil pixel's opacity: the brush's, times the stamp's alpha when kept, times the stamp
  // pixel's brightness; 0 when that is not above 0 or the pixel is left alone.
  static float maskedOpacity(float o, int32_t at, const uint8_t* kept, const uint8_t* keptAlpha) {
    if (at < 0 || !(o > 0.f)) return 0.f;
    const size_t i = static_cast<size_t>(at);
    if (keptAlpha) o *= kByteUnits.v[keptAlpha[i]];
    o *= brightness(kept + i * kBytes);
    return o > 0.f ? o : 0.f;
  }

#if defined(__SSE2__)
  // maskedOpacity of pixels k .. k + 3 of an 8-bit alpha + RGB span.
  static void spanOpacity8(int32_t k, const float* opacity, const int32_t* at, const uint8_t* kept,
                           const uint8_t* keptAlpha, float* out) {
    const __m128 zero = _mm_setzero_ps();
    alignas(16) int32_t pixels[4];
    alignas(16) float alphas[4];
    for (int j = 0; j < 4; ++j) {
      const int32_t i = at[k + j];
      uint32_t v = 0;
      if (i >= 0) std::memcpy(&v, kept + static_cast<size_t>(i) * 4, 4);
      pixels[j] = static_cast<int32_t>(v);
      alphas[j] = keptAlpha && i >= 0 ? kByteUnits.v[keptAlpha[i]] : 1.f;
    }
    const __m128i valid = _mm_cmpgt_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k)),
                                          _mm_set1_epi32(-1));
    __m128 o = _mm_and_ps(_mm_castsi128_ps(valid), _mm_loadu_ps(opacity + k));
    if (keptAlpha) o = _mm_mul_ps(o, _mm_load_ps(alphas));
    const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128 r = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(p, 8), lowByte));
    const __m128 g = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(p, 16), lowByte));
    const __m128 b = _mm_cvtepi32_ps(_mm_srli_epi32(p, 24));
    const __m128 bright =
        _mm_div_ps(_mm_add_ps(_mm_add_ps(r, g), b), _mm_set1_ps(C::kBrightnessUnit));
    o = _mm_mul_ps(o, bright);
    _mm_storeu_ps(out + k, _mm_and_ps(_mm_cmpgt_ps(o, zero), o));
  }
#endif

  // The stamp case of a span: pixel k is painted from the kept stamp pixel at index at[k] (< 0
  // for none) at opacity[k], as blendStampPixel paints one. The opacities and colours are worked
  // out first, pixel by pixel in the same order; the blend then goes through span().
  static void stampSpan(uint8_t* row, int32_t count, const float* opacity, const int32_t* at,
                        const uint8_t* kept, const uint8_t* keptAlpha, bool mask,
                        const uint8_t* replacement, float* spanOpacity, uint8_t* spanColours) {
    if (mask && replacement) {
      // A mask paints one colour: only the opacities differ from pixel to pixel. Over 8-bit
      // pixels they go four at a time, the stamp pixels fetched one by one, each lane the same
      // operations in the same order as maskedOpacity.
      int32_t k = 0;
#if defined(__SSE2__)
      if constexpr (std::is_same_v<T, uint8_t> && N == 4 && A)
        for (; k + 4 <= count; k += 4) spanOpacity8(k, opacity, at, kept, keptAlpha, spanOpacity);
#endif
      for (; k < count; ++k) spanOpacity[k] = maskedOpacity(opacity[k], at[k], kept, keptAlpha);
      span(row, count, spanOpacity, 1, replacement, 0);
      return;
    }
    for (int32_t k = 0; k < count; ++k) {
      float o = at[k] < 0 ? 0.f : opacity[k];
      const uint8_t* c = nullptr;
      if (o > 0.f) {
        const size_t i = static_cast<size_t>(at[k]);
        const uint8_t* sampled = kept + i * kBytes;
        if (keptAlpha) o *= static_cast<float>(keptAlpha[i]) / 255.f;
        c = sampled;
        if (mask) o *= brightness(sampled);
      }
      if (!(o > 0.f)) c = nullptr;
      spanOpacity[k] = c ? o : 0.f;
      if (c)
        std::memcpy(spanColours + static_cast<size_t>(k) * kBytes, c, kBytes);
      else
        std::memset(spanColours + static_cast<size_t>(k) * kBytes, 0, kBytes);
    }
    span(row, count, spanOpacity, 1, spanColours, kBytes);
  }
};

// The one place that turns a mode into its kernel. Mode 1 (alpha only) has none: its pixels are
// never changed. Answers false when there is no kernel.
template <class Fn>
bool withKernel(int32_t mode, Fn&& fn) {
  switch (mode) {
    case 2:
      fn(Kernel<uint8_t, 1, false>{});
      return true;
    case 3:
      fn(Kernel<uint8_t, 2, true>{});
      return true;
    case 4:
      fn(Kernel<uint8_t, 3, false>{});
      return true;
    case 5:
      fn(Kernel<uint8_t, 4, true>{});
      return true;
    case 18:
      fn(Kernel<uint16_t, 1, false>{});
      return true;
    case 19:
      fn(Kernel<uint16_t, 2, true>{});
      return true;
    case 20:
      fn(Kernel<uint16_t, 3, false>{});
      return true;
    case 21:
      fn(Kernel<uint16_t, 4, true>{});
      return true;
    case 34:
      fn(Kernel<float, 1, false>{});
      return true;
    case 35:
      fn(Kernel<float, 2, true>{});
      return true;
    case 36:
      fn(Kernel<float, 3, false>{});
      return true;
    case 37:
      fn(Kernel<float, 4, true>{});
      return true;
    default:
      return false;
  }
}

}  // namespace

bool pixelLayout(int32_t mode, PixelLayout& layout) {
  int32_t bits = 0, components = 0;
  if (!ColorModeInfo(mode, bits, components)) return false;
  layout.mode = mode;
  layout.bits = bits;
  layout.components = components;
  layout.pixelBytes = bits / 8 * components;
  layout.alpha = mode == host::kModeAlpha || components == 2 || components == 4;
  layout.blends = mode != host::kModeAlpha;
  return true;
}

namespace {
// The part of a blend after the colour is known: `sampled`, when given, is the stamp pixel,
// a mask when `mask` is set.
void blendKnown(const PixelLayout& layout, uint8_t* p, float o, const uint8_t* c,
                const uint8_t* sampled, bool mask, const uint8_t* replacement) {
  withKernel(layout.mode, [&](auto kernel) {
    using K = decltype(kernel);
    if (mask) {
      o *= K::brightness(sampled);
      if (replacement) c = replacement;
    }
    if (!c || !(o > 0.f)) return;
    float cf[kMaxPixelBytes / 4];
    K::loadColor(c, cf);
    K::pixel(p, cf, o < 1.f ? o : 1.f);
  });
}
}  // namespace

void BlendPixel(int32_t mode, size_t& offset, uint8_t* row, double opacity, const uint8_t* color,
                bool stampAlpha, bool useStampColor, const uint8_t* replacement,
                const host::Bitmap* stamp, const host::PaintBitmap* source, int32_t x, int32_t y) {
  PixelLayout layout;
  if (!pixelLayout(mode, layout)) {
    // Known modes that are never painted are still stepped over.
    int32_t bits = 0, components = 0;
    ColorModeInfo(mode, bits, components);
    offset += static_cast<size_t>(bits / 8 * components);
    return;
  }
  uint8_t* p = row + offset;
  offset += static_cast<size_t>(layout.pixelBytes);
  if (!layout.blends || !row) return;
  float o = static_cast<float>(opacity);
  if (!(o > 0.f)) return;

  alignas(16) uint8_t sampled[kMaxPixelBytes];
  if (stamp) {
    const bool withAlpha = stampAlpha && stamp->bits() == 32;
    const uint8_t alpha = withAlpha ? stamp->getAlpha(x, y) : 255;
    if (!stamp->getPixelRow(x, y, 1, sampled, mode)) return;
    blendStampPixel(layout, p, o, sampled, withAlpha ? &alpha : nullptr, useStampColor,
                    replacement);
    return;
  }
  const uint8_t* c = color;
  if (source) {
    if (!source->getPixelRow(x, y, 1, sampled, mode)) return;
    c = sampled;
  }
  blendKnown(layout, p, o, c, sampled, false, replacement);
}

void blendStampPixel(const PixelLayout& layout, uint8_t* p, double opacity, const uint8_t* sampled,
                     const uint8_t* alpha, bool useStampColor, const uint8_t* replacement) {
  if (!layout.blends || !p) return;
  float o = static_cast<float>(opacity);
  if (!(o > 0.f)) return;
  if (alpha) o *= static_cast<float>(*alpha) / 255.f;
  blendKnown(layout, p, o, sampled, sampled, !useStampColor && layout.components >= 3, replacement);
}

void blendStampSpan(const PixelLayout& layout, uint8_t* row, int32_t count, const float* opacity,
                    const int32_t* at, const uint8_t* kept, const uint8_t* keptAlpha,
                    bool useStampColor, const uint8_t* replacement, float* spanOpacity,
                    uint8_t* spanColours) {
  if (!layout.blends || !row || count <= 0) return;
  const bool mask = !useStampColor && layout.components >= 3;
  withKernel(layout.mode, [&](auto kernel) {
    decltype(kernel)::stampSpan(row, count, opacity, at, kept, keptAlpha, mask, replacement,
                                spanOpacity, spanColours);
  });
}

void blendSpan(const PixelLayout& layout, uint8_t* row, int32_t count, const float* opacity,
               size_t opacityStep, const uint8_t* color, size_t colorStep) {
  if (!row || !opacity || !color || count <= 0) return;
  withKernel(layout.mode, [&](auto kernel) {
    decltype(kernel)::span(row, count, opacity, opacityStep, color, colorStep);
  });
}

}  // namespace pigmora
