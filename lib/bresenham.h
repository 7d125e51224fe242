// One-pixel lines by Bresenham's walk, shared by the UV wireframes drawn into layers and cells and
// by the picking that follows the mouse across a cell.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace pigmora {

// A UV coordinate scaled to pixels and truncated; values far outside any bitmap are pinned where
// the truncation cannot overflow.
inline int32_t truncatePixel(double v) {
  constexpr double kLimit = 1 << 30;
  if (!(v == v)) return 0;  // NaN
  return static_cast<int32_t>(std::clamp(v, -kLimit, kLimit));
}

namespace detail {
// Liang-Barsky clip of the segment to the box; false when nothing of it is inside.
inline bool clipSegment(double& x0, double& y0, double& x1, double& y1, double xmin, double ymin,
                        double xmax, double ymax) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - xmin, xmax - x0, y0 - ymin, ymax - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  const double ax = x0 + t0 * dx, ay = y0 + t0 * dy, bx = x0 + t1 * dx, by = y0 + t1 * dy;
  x0 = ax;
  y0 = ay;
  x1 = bx;
  y1 = by;
  return true;
}
}  // namespace detail

// Calls fn(x, y) for every pixel of the line from (x0, y0) to (x1, y1), both ends included, in
// order from the first end. A line reaching far beyond the box [0, width) x [0, height) is cut
// to it first, so that a stray coordinate costs no long walk; lines inside it, or near it, keep
// their exact pixels.
template <class Fn>
void forEachLinePixel(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width, int32_t height,
                      Fn&& fn) {
  const int32_t margin = 2 * std::max(width, height) + 16;
  auto far = [&](int32_t x, int32_t y) {
    return x < -margin || y < -margin || x > width + margin || y > height + margin;
  };
  if (far(x0, y0) || far(x1, y1)) {
    double ax = x0, ay = y0, bx = x1, by = y1;
    if (!detail::clipSegment(ax, ay, bx, by, -1.0, -1.0, width, height)) return;
    x0 = static_cast<int32_t>(std::lround(ax));
    y0 = static_cast<int32_t>(std::lround(ay));
    x1 = static_cast<int32_t>(std::lround(bx));
    y1 = static_cast<int32_t>(std::lround(by));
  }
  const int64_t dx = std::llabs(int64_t{x1} - x0), dy = -std::llabs(int64_t{y1} - y0);
  const int32_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int64_t err = dx + dy;
  for (;;) {
    fn(x0, y0);
    if (x0 == x1 && y0 == y1) return;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

}  // namespace pigmora
