// The outline of one polygon in UV space at a pixel size: every pixel of its edges.
#pragma once

#include <cstdint>

#include "host/scene.h"
#include "lib/bresenham.h"

namespace pigmora {

// Calls fn(x, y) for every pixel of the polygon's edges a-b, b-c, c-d (quads only) and the
// closing edge back to a, the corners at ((u - du) * width, (v - dv) * height) truncated.
template <class Fn>
void forEachUVEdgePixel(const host::UVWPolygon& uv, bool quad, double du, double dv, int32_t width,
                        int32_t height, Fn&& fn) {
  const int corners = quad ? 4 : 3;
  int32_t x[4], y[4];
  for (int k = 0; k < corners; ++k) {
    x[k] = truncatePixel((uv.corner(k).x - du) * width);
    y[k] = truncatePixel((uv.corner(k).y - dv) * height);
  }
  for (int k = 0; k < corners; ++k) {
    const int n = (k + 1) % corners;
    forEachLinePixel(x[k], y[k], x[n], y[n], width, height, fn);
  }
}

}  // namespace pigmora
