// Colour modes of paint bitmaps and the conversion between them through float RGB.
#pragma once

#include <cstdint>

namespace hostapp {

struct ModeLayout {
  enum class Kind { kAlpha, kGrey, kRGB, kCMYK, kMask };
  int32_t mode;
  Kind kind;
  int32_t componentBytes;  // 1, 2 or 4 (float)
  int32_t components;
  bool alpha;  // alpha is the first component
  int32_t pixelBytes() const { return componentBytes * components; }
};

// The layout of a colour mode, or null for an unknown mode.
const ModeLayout* modeLayout(int32_t mode);

// One pixel in normalised float form: alpha, red, green, blue.
struct PixelF {
  float a = 1.f, r = 0.f, g = 0.f, b = 0.f;
};

PixelF decodePixel(const ModeLayout& layout, const uint8_t* src);
void encodePixel(const ModeLayout& layout, const PixelF& p, uint8_t* dst);

// Converts count pixels; a copy when the modes are equal. False for an unknown mode.
bool convertPixels(int32_t srcMode, const void* src, int32_t dstMode, void* dst, int32_t count);

}  // namespace hostapp
