// The scan-line fill of UV triangles shared by the UV pixel map and the bleed's coverage mask.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "host/scene.h"
#include "lib/repeated_add.h"

namespace pigmora {

namespace uvraster {

struct Edge {
  float xTop, yTop, xBottom, yBottom;
  float height() const { return yBottom - yTop; }
};

inline Edge makeEdge(float x0, float y0, float x1, float y1) {
  return y0 < y1 ? Edge{x0, y0, x1, y1} : Edge{x1, y1, x0, y0};
}

// Rows outside [0, rowLimit) are not walked and columns are clipped to [0, colLimit): pixels
// there could never be stored, and a huge UV must not cost a huge walk.
template <class SetSpan>
void fillBetween(const Edge& l, const Edge& s, int32_t rowLimit, int32_t colLimit, SetSpan&& set) {
  if (l.height() == 0 || s.height() == 0) return;
  float tL = (s.yTop - l.yTop) / l.height();
  float tS = 0.f;
  const float dL = 1.f / l.height(), dS = 1.f / s.height();
  int32_t y0 = static_cast<int32_t>(s.yTop);
  const int32_t y1 = static_cast<int32_t>(s.yBottom);
  // Rows above the layer store nothing: skip them, arriving at the sums a row-by-row walk has.
  if (y0 < 0) {
    const int32_t skip = std::min(y1, 0) - y0;
    tL = addRepeatedly(tL, dL, skip);
    tS = addRepeatedly(tS, dS, skip);
    y0 += skip;
  }
  for (int32_t y = y0; y < y1; ++y) {
    if (y >= 0 && y < rowLimit) {
      const float xl = std::trunc(tL * (l.xBottom - l.xTop)) + l.xTop;
      const float xs = std::trunc(tS * (s.xBottom - s.xTop)) + s.xTop;
      const float lo = std::max(std::min(xl, xs), 0.f);
      const float hi = std::min(std::max(xl, xs), static_cast<float>(colLimit));
      if (lo < hi) set(y, static_cast<int32_t>(lo), static_cast<int32_t>(hi));
    } else if (y >= rowLimit) {
      return;
    }
    tS += dS;
    tL += dL;
  }
}

// Fills triangle (x0, y0), (x1, y1), (x2, y2) in pixel units; set(y, x0, x1) covers [x0, x1).
template <class SetSpan>
void fillTriangle(float x0, float y0, float x1, float y1, float x2, float y2, int32_t rowLimit,
                  int32_t colLimit, SetSpan&& set) {
  // Coordinates beyond this are far outside any layer and would overflow the row counter.
  constexpr float kLimit = 1 << 24;
  const float v[6] = {x0, y0, x1, y1, x2, y2};
  for (float c : v)
    if (!std::isfinite(c) || std::abs(c) > kLimit) return;
  auto snap = [](float a) { return std::floor(a + 0.5f); };
  const float ax = snap(x0), ay = snap(y0), bx = snap(x1), by = snap(y1), cx = snap(x2),
              cy = snap(y2);
  const Edge e[3] = {makeEdge(ax, ay, bx, by), makeEdge(bx, by, cx, cy), makeEdge(cx, cy, ax, ay)};
  int longest = 0;
  if (e[2].height() > std::max(e[0].height(), e[1].height()))
    longest = 2;
  else if (e[1].height() > e[0].height())
    longest = 1;
  fillBetween(e[longest], e[(longest + 1) % 3], rowLimit, colLimit, set);
  fillBetween(e[longest], e[(longest + 2) % 3], rowLimit, colLimit, set);
}

// Fills one polygon's UV triangles (a, b, c) and, for a quad, (a, c, d), at the pixel size,
// after subtracting the tile offsets when the tile number is 1 or more.
template <class SetSpan>
void fillPolygon(const host::UVWPolygon& uv, bool quad, int32_t width, int32_t height, int32_t tile,
                 float uOffset, float vOffset, int32_t rowLimit, int32_t colLimit, SetSpan&& set) {
  float u[4], v[4];
  for (int k = 0; k < 4; ++k) {
    double uu = uv.corner(k).x, vv = uv.corner(k).y;
    if (tile >= 1) {
      uu -= uOffset;
      vv -= vOffset;
    }
    u[k] = static_cast<float>(uu * width);
    v[k] = static_cast<float>(vv * height);
  }
  fillTriangle(u[0], v[0], u[1], v[1], u[2], v[2], rowLimit, colLimit, set);
  if (quad) fillTriangle(u[0], v[0], u[2], v[2], u[3], v[3], rowLimit, colLimit, set);
}

}  // namespace uvraster

}  // namespace pigmora
