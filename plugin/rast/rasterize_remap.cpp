#include "plugin/rast/rasterize.h"

#include <cmath>

#include "plugin/rast/blend.h"
#include "plugin/rast/edge_walk.h"
#include "plugin/rast/span_buffer.h"

namespace pigmora {

namespace {

// Copies destination triangle (a, b, c) of the corners given by index from the source triangle
// with the same corners.
void remapTriangle(const host::UVWPolygon& src, const host::UVWPolygon& dst,
                   host::PaintBitmap* srcBmp, host::PaintBitmap* dstBmp, const PixelLayout& layout,
                   const int (&corner)[3], SpanBuffer& buffer) {
  const int32_t width = dstBmp->width(), height = dstBmp->height();
  const double srcW = srcBmp->width(), srcH = srcBmp->height();
  WalkPoint v[3];
  double sx[3], sy[3];
  for (int i = 0; i < 3; ++i) {
    const host::Vector& d = dst.corner(corner[i]);
    const host::Vector& s = src.corner(corner[i]);
    if (!roundPixel(d.x * width, v[i].x) || !roundPixel(d.y * height, v[i].y)) return;
    sx[i] = s.x * srcW;
    sy[i] = s.y * srcH;
    if (!std::isfinite(sx[i]) || !std::isfinite(sy[i])) return;
  }
  const double x0 = v[0].x, y0 = v[0].y, x1 = v[1].x, y1 = v[1].y, x2 = v[2].x, y2 = v[2].y;
  const double det = (y1 - y2) * (x0 - x2) + (x2 - x1) * (y0 - y2);
  if (det == 0.0) return;

  int32_t lo = v[0].x, hi = v[0].x;
  for (int i = 1; i < 3; ++i) {
    if (v[i].x < lo) lo = v[i].x;
    if (v[i].x > hi) hi = v[i].x;
  }
  if (hi <= 0 || lo >= width) return;
  if (!buffer.reserve(static_cast<size_t>(width) * static_cast<size_t>(layout.pixelBytes))) return;
  uint8_t* row = buffer.data();

  walkTriangle(v, 0, height, [&](const WalkSpan& span) {
    const int32_t first = span.x0() > 0 ? span.x0() : 0;
    const int32_t end = span.x1() < width ? span.x1() : width;
    if (first >= end) return;
    const int32_t count = end - first;
    if (!dstBmp->getPixelRow(first, span.y, count, row, layout.mode)) return;
    const double dy2 = span.y - y2;
    size_t offset = 0;
    for (int32_t x = first; x < end; ++x) {
      const double dx2 = x - x2;
      const double l0 = ((y1 - y2) * dx2 + (x2 - x1) * dy2) / det;
      const double l1 = ((y2 - y0) * dx2 + (x0 - x2) * dy2) / det;
      const double l2 = 1.0 - l0 - l1;
      const double s = l0 * sx[0] + l1 * sx[1] + l2 * sx[2];
      const double t = l0 * sy[0] + l1 * sy[1] + l2 * sy[2];
      // Out beyond any bitmap: the source has no pixel there.
      if (!(s > -2147483648.0 && s < 2147483647.0 && t > -2147483648.0 && t < 2147483647.0)) {
        offset += static_cast<size_t>(layout.pixelBytes);
        continue;
      }
      BlendPixel(layout.mode, offset, row, 1.0, nullptr, false, false, nullptr, nullptr, srcBmp,
                 static_cast<int32_t>(s), static_cast<int32_t>(t));
    }
    dstBmp->setPixelRow(first, span.y, count, row, layout.mode);
  });
}

}  // namespace

void rasterize_remap(const host::UVWPolygon& src, const host::UVWPolygon& dst,
                     host::PaintBitmap* srcBmp, host::PaintBitmap* dstBmp, bool quad) {
  if (!srcBmp || !dstBmp) return;
  PixelLayout layout;
  if (!pixelLayout(dstBmp->colorMode(), layout) || !layout.blends) return;
  if (dstBmp->width() <= 0 || dstBmp->height() <= 0 || srcBmp->width() <= 0 ||
      srcBmp->height() <= 0)
    return;
  SpanBuffer buffer;
  remapTriangle(src, dst, srcBmp, dstBmp, layout, {0, 1, 2}, buffer);
  if (quad) remapTriangle(src, dst, srcBmp, dstBmp, layout, {0, 2, 3}, buffer);
}

}  // namespace pigmora
