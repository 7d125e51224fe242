// What the flat and the brush rasteriser share: the triangle record, the channel slots a
// triangle is painted into, and the slot colours in each bitmap's own mode.
#pragma once

#include <cstdint>

#include "host/binding.h"
#include "host/host.h"
#include "plugin/paintmaterials.h"
#include "plugin/rast/blend.h"
#include "plugin/rast/edge_walk.h"

namespace pigmora {

// One channel slot of a triangle: its bitmap and what each span of it needs.
struct SlotPass {
  int32_t slot = 0;
  host::PaintBitmap* bitmap = nullptr;
  PixelLayout layout;
  int32_t width = 0, height = 0;
  alignas(16) uint8_t color[kMaxPixelBytes] = {};  // slot colour in the bitmap's mode
  const host::Bitmap* stamp = nullptr;
  // The stamp's pixels in the layer's mode and its alpha, when the stroke keeps them.
  const uint8_t* stampPixels = nullptr;
  const uint8_t* stampAlpha = nullptr;
};

// The triangle record `tri` of the target, or null when there is none.
inline const RasterTriangle* triangleRecord(const PaintTarget& target, int32_t tri) {
  if (!target.triangles || tri < 0) return nullptr;
  const int64_t count = int64_t{2} * kChannelCount * (target.tileCount > 0 ? target.tileCount : 1);
  return tri < count ? &target.triangles[tri] : nullptr;
}

inline void roundVertices(const RasterTriangle& t, WalkPoint out[3]) {
  for (int i = 0; i < 3; ++i) {
    out[i].x = roundClampedPixel(t.v[i].x);
    out[i].y = roundClampedPixel(t.v[i].y);
  }
}

// The slots a triangle is painted into: `slot` alone, or every slot with a bitmap when the target
// paints all channels. Empty bitmaps and modes that cannot be painted are left out. Answers the
// number of passes filled.
inline int32_t collectSlots(const PaintTarget& target, int32_t slot,
                            SlotPass passes[kChannelCount]) {
  int32_t first = slot, last = slot;
  if (target.paintAllChannels) {
    first = 0;
    last = kChannelCount - 1;
  } else if (slot < 0 || slot >= kChannelCount) {
    return 0;
  }
  int32_t n = 0;
  for (int32_t s = first; s <= last; ++s) {
    host::PaintBitmap* bitmap = target.channels[s];
    if (!bitmap) continue;
    SlotPass& p = passes[n];
    p = SlotPass{};
    if (!pixelLayout(bitmap->colorMode(), p.layout)) continue;
    p.slot = s;
    p.bitmap = bitmap;
    p.width = bitmap->width();
    p.height = bitmap->height();
    if (p.width <= 0 || p.height <= 0) continue;
    ++n;
  }
  return n;
}

// The colour a dab paints in a slot: the secondary one when the dab asks for it.
inline const host::Vector& slotColor(const PaintTarget& target, const host::BrushDab* dab,
                                     int32_t slot) {
  const bool secondary = dab && (dab->dabFlags() & host::kDabFlagSecondary);
  return secondary ? target.secondary[slot] : target.primary[slot];
}

// Converts a float RGB colour into a pixel of the layout's mode through the host.
inline bool convertColor(const host::Vector& rgb, const PixelLayout& layout, uint8_t* out) {
  host::Host* h = host::bound();
  if (!h) return false;
  const float in[3] = {static_cast<float>(rgb.x), static_cast<float>(rgb.y),
                       static_cast<float>(rgb.z)};
  return h->paint().convertPixels(host::kModeRGBF, in, layout.mode, out, 1);
}

// The widest span a triangle can have in any of the passes, and the rows they cover.
inline int32_t widestSpan(const WalkPoint v[3], const SlotPass* passes, int32_t n, int32_t& rows) {
  int32_t width = 0;
  rows = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (passes[i].width > width) width = passes[i].width;
    if (passes[i].height > rows) rows = passes[i].height;
  }
  int32_t lo = v[0].x, hi = v[0].x;
  for (int i = 1; i < 3; ++i) {
    if (v[i].x < lo) lo = v[i].x;
    if (v[i].x > hi) hi = v[i].x;
  }
  const int32_t extent = hi - lo;
  return extent < width ? extent : width;
}

// Carves aligned pieces out of one scratch allocation.
class ScratchLayout {
 public:
  size_t add(size_t bytes) {
    const size_t at = size_;
    size_ += (bytes + 15) & ~size_t{15};
    return at;
  }
  size_t size() const { return size_; }

 private:
  size_t size_ = 0;
};

}  // namespace pigmora
