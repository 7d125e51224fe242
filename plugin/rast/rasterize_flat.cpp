#include "plugin/rast/rasterize.h"

#include "plugin/rast/blend.h"
#include "plugin/rast/edge_walk.h"
#include "plugin/rast/raster_slots.h"
#include "plugin/rast/span_buffer.h"

namespace pigmora {

void rasterize_flat(const host::BrushDab* dab, PaintTarget& target, int32_t slot, int32_t tri) {
  const RasterTriangle* t = triangleRecord(target, tri);
  if (!t) return;
  SlotPass passes[kChannelCount];
  const int32_t found = collectSlots(target, slot, passes);
  int32_t n = 0;
  for (int32_t i = 0; i < found; ++i) {
    SlotPass& p = passes[i];
    // The alpha-only mode is never changed, and a colour the host cannot convert is not painted.
    if (!p.layout.blends || !convertColor(slotColor(target, dab, p.slot), p.layout, p.color))
      continue;
    if (n != i) passes[n] = p;
    ++n;
  }
  if (n == 0) return;

  WalkPoint v[3];
  roundVertices(*t, v);
  int32_t rows = 0;
  const int32_t widest = widestSpan(v, passes, n, rows);
  if (widest <= 0) return;
  SpanBuffer buffer;
  if (!buffer.reserve(static_cast<size_t>(widest) * kMaxPixelBytes)) return;
  uint8_t* row = buffer.data();
  const float opaque = 1.f;

  walkTriangle(v, 0, rows, [&](const WalkSpan& span) {
    const int32_t x0 = span.x0(), x1 = span.x1();
    for (int32_t i = 0; i < n; ++i) {
      SlotPass& p = passes[i];
      if (span.y >= p.height) continue;
      const int32_t count = (x1 < p.width ? x1 : p.width) - x0;
      if (count <= 0 || count > widest || x0 < 0) continue;
      if (!p.bitmap->getPixelRow(x0, span.y, count, row, p.layout.mode)) continue;
      blendSpan(p.layout, row, count, &opaque, 0, p.color, 0);
      p.bitmap->setPixelRow(x0, span.y, count, row, p.layout.mode);
    }
  });
}

}  // namespace pigmora
