#include "hostapp/paint/colormode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

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

inline float readComponent(const uint8_t* p, int32_t bytes) {
  switch (bytes) {
    case 1:
      return static_cast<float>(*p) / 255.f;
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
      *p = static_cast<uint8_t>(std::lround(std::clamp(v, 0.f, 1.f) * 255.f));
      break;
    case 2: {
      const uint16_t q = static_cast<uint16_t>(std::lround(std::clamp(v, 0.f, 1.f) * 65535.f));
      std::memcpy(p, &q, 2);
      break;
    }
    default:
      std::memcpy(p, &v, 4);
      break;
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
      for (int c = 0; c < 3; ++c) f[3 * i + c] = static_cast<float>(in[first + c]) / 255.f;
    return true;
  }
  for (int32_t i = 0; i < count; ++i)
    encodePixel(*d, decodePixel(*s, in + i * s->pixelBytes()), out + i * d->pixelBytes());
  return true;
}

}  // namespace hostapp
