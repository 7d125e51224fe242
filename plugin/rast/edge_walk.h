// The scan-line walk shared by the rasterisers: vertex rounding, edge set-up and the rows of
// spans between a triangle's long edge and its two short edges.
#pragma once

#include <cmath>
#include <cstdint>

#include "lib/repeated_add.h"

namespace pigmora {

// Pixel coordinates of painted triangles never go beyond this.
constexpr float kMaxPixelCoordinate = 16384.f;

struct WalkPoint {
  int32_t x = 0, y = 0;
};

// An edge stored top first; top and bottom name the triangle vertices (0 .. 2) it joins.
struct WalkEdge {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int32_t top = 0, bottom = 0;
  int32_t height() const { return y1 - y0; }
};

// One span of a row: the pixels between xLong and xShort, x1 excluded. tLong and tShort say how
// far down each edge the row lies, for interpolating what the edges carry.
struct WalkSpan {
  int32_t y = 0;
  int32_t xLong = 0, xShort = 0;
  float tLong = 0.f, tShort = 0.f;
  const WalkEdge* longEdge = nullptr;
  const WalkEdge* shortEdge = nullptr;
  int32_t x0() const { return xLong < xShort ? xLong : xShort; }
  int32_t x1() const { return xLong < xShort ? xShort : xLong; }
};

// floor(v + 0.5) of a coordinate limited to [0, 16384]; anything that is not a number counts as 0.
inline int32_t roundClampedPixel(float v) {
  if (!(v > 0.f)) return 0;
  if (v > kMaxPixelCoordinate) v = kMaxPixelCoordinate;
  return static_cast<int32_t>(std::floor(static_cast<double>(v) + 0.5));
}

// floor(v + 0.5) without the limit, for the remap. False when v is not a finite number or lies so
// far out that no bitmap could hold it.
inline bool roundPixel(double v, int32_t& out) {
  constexpr double kFarOut = 16777216.0;
  if (!(v > -kFarOut && v < kFarOut)) return false;
  out = static_cast<int32_t>(std::floor(v + 0.5));
  return true;
}

// Edge from vertex a to vertex b, top first. On equal rows the second-named vertex is the top.
inline WalkEdge makeEdge(const WalkPoint* p, int32_t a, int32_t b) {
  WalkEdge e;
  const bool aTop = p[a].y < p[b].y;
  e.top = aTop ? a : b;
  e.bottom = aTop ? b : a;
  e.x0 = p[e.top].x;
  e.y0 = p[e.top].y;
  e.x1 = p[e.bottom].x;
  e.y1 = p[e.bottom].y;
  return e;
}

// Spans between long edge l and short edge s, rows [yS0, yS1): the bottom row belongs to the next
// triangle down. Rows outside [rowMin, rowMax) are left out; a walk that starts above rowMin
// skips the rows above it without visiting them, yet reaches exactly the running sums a walk
// through them would have, so that every row is drawn the same wherever the walk starts.
template <class Fn>
void walkEdgePair(const WalkEdge& l, const WalkEdge& s, int32_t rowMin, int32_t rowMax, Fn&& fn) {
  const int32_t hl = l.height(), hs = s.height();
  if (hl == 0 || hs == 0) return;
  // Single-precision steps: every rasteriser must cover exactly the same pixels of a triangle.
  const float stepL = 1.f / static_cast<float>(hl);
  const float stepS = 1.f / static_cast<float>(hs);
  float tL = static_cast<float>(s.y0 - l.y0) / static_cast<float>(hl);
  float tS = 0.f;
  int32_t y = s.y0;
  const int32_t yEnd = s.y1 < rowMax ? s.y1 : rowMax;
  if (y < rowMin) {
    const int64_t skipped = static_cast<int64_t>(rowMin) - y;
    tL = addRepeatedly(tL, stepL, skipped);
    tS = addRepeatedly(tS, stepS, skipped);
    y = rowMin;
  }
  const float dxL = static_cast<float>(l.x1 - l.x0);
  const float dxS = static_cast<float>(s.x1 - s.x0);
  WalkSpan span;
  span.longEdge = &l;
  span.shortEdge = &s;
  for (; y < yEnd; ++y) {
    span.y = y;
    span.xLong = static_cast<int32_t>(tL * dxL) + l.x0;
    span.xShort = static_cast<int32_t>(tS * dxS) + s.x0;
    if (span.xLong != span.xShort) {
      span.tLong = tL;
      span.tShort = tS;
      fn(span);
    }
    tL += stepL;
    tS += stepS;
  }
}

// Walks a triangle of three rounded vertices: the edge with the largest height against each of
// the other two (ties go to the lower-numbered edge).
template <class Fn>
void walkTriangle(const WalkPoint p[3], int32_t rowMin, int32_t rowMax, Fn&& fn) {
  const WalkEdge e[3] = {makeEdge(p, 0, 1), makeEdge(p, 1, 2), makeEdge(p, 2, 0)};
  const int32_t h0 = e[0].height(), h1 = e[1].height(), h2 = e[2].height();
  const int32_t k = (h0 > h1 ? h0 : h1) < h2 ? 2 : (h0 < h1 ? 1 : 0);
  walkEdgePair(e[k], e[(k + 1) % 3], rowMin, rowMax, fn);
  walkEdgePair(e[k], e[(k + 2) % 3], rowMin, rowMax, fn);
}

}  // namespace pigmora
