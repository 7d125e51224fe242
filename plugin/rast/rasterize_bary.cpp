#include "plugin/rast/rasterize.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "lib/repeated_add.h"
#include "plugin/rast/blend.h"
#include "plugin/rast/blur.h"
#include "plugin/rast/edge_walk.h"
#include "plugin/rast/partial_lanes.h"
#include "plugin/rast/raster_slots.h"
#include "plugin/rast/span_buffer.h"
#include "plugin/rast/wide_vectors.h"

namespace pigmora {

namespace {

// Where a brush pixel's opacity comes from, decided once per triangle.
enum class OpacityRule { kStrength, kTable, kHost, kNone };

struct Brush {
  const host::BrushDab* dab = nullptr;
  const FalloffTable* table = nullptr;
  OpacityRule rule = OpacityRule::kNone;
  float strength = 0.f;
  bool pointTest = false;
};

// The falloff rule of a pixel when it is not simply the strength.
OpacityRule falloffRule(const PaintTarget& target, const host::BrushDab* dab) {
  if (target.falloff.enabled) return OpacityRule::kTable;
  return dab ? OpacityRule::kHost : OpacityRule::kNone;
}

inline host::Vector toVector(const float p[3]) {
  return host::Vector(p[0], p[1], p[2]);
}

// A span's surface positions: pixel k lies at start + tau * delta, tau growing by step per pixel.
struct SpanGeometry {
  float start[3] = {}, delta[3] = {};
  float step = 0.f;
  int32_t x0 = 0, x1 = 0;
};

SpanGeometry spanGeometry(const WalkSpan& span, const float pos[3][3]) {
  float onLong[3], onShort[3];
  const WalkEdge& l = *span.longEdge;
  const WalkEdge& s = *span.shortEdge;
  for (int i = 0; i < 3; ++i) {
    onLong[i] = pos[l.top][i] + span.tLong * (pos[l.bottom][i] - pos[l.top][i]);
    onShort[i] = pos[s.top][i] + span.tShort * (pos[s.bottom][i] - pos[s.top][i]);
  }
  const bool longFirst = span.xLong < span.xShort;
  SpanGeometry g;
  for (int i = 0; i < 3; ++i) {
    g.start[i] = longFirst ? onLong[i] : onShort[i];
    g.delta[i] = (longFirst ? onShort[i] : onLong[i]) - g.start[i];
  }
  g.x0 = span.x0();
  g.x1 = span.x1();
  g.step = 1.f / static_cast<float>(g.x1 - g.x0);
  return g;
}

// The span parameter of pixel k: the running sum of k steps, exactly as a walk from pixel 0
// would leave it.
inline float tauAt(const SpanGeometry& g, int32_t k) {
  if (k <= 64) {
    float tau = 0.f;
    for (int32_t i = 0; i < k; ++i) tau += g.step;
    return tau;
  }
  return addRepeatedly(0.f, g.step, k);
}

// The pixels [lo, hi) of the first `count` of a span outside which the brush sphere cannot
// reach. Along a span d^2 is a quadratic in the pixel index; its roots for a radius widened well
// beyond the rounding of the single-precision rule, and an index range widened beyond the drift
// of the running parameter, keep every pixel the rule could paint. False when none can be.
bool brushReach(const FalloffTable& t, const SpanGeometry& g, int32_t count, int32_t& lo,
                int32_t& hi) {
  lo = 0;
  hi = count;
  double s[3], d[3], magnitude = 0.0;
  for (int i = 0; i < 3; ++i) {
    s[i] = static_cast<double>(g.start[i]) - t.centre[i];
    d[i] = g.delta[i];
    magnitude = std::max({magnitude, std::abs(static_cast<double>(t.centre[i])),
                          std::abs(static_cast<double>(g.start[i])), std::abs(d[i]),
                          std::abs(static_cast<double>(g.start[i]) + d[i])});
  }
  const double r0 = std::sqrt(static_cast<double>(t.radius2));
  if (!std::isfinite(magnitude) || !std::isfinite(r0)) return true;
  const double r = r0 + 1e-5 * (4.0 * magnitude + r0);
  const double a = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  const double b = 2.0 * (s[0] * d[0] + s[1] * d[1] + s[2] * d[2]);
  const double c = s[0] * s[0] + s[1] * s[1] + s[2] * s[2] - r * r;
  if (a == 0.0) return c < 0.0;
  const double disc = b * b - 4.0 * a * c;
  if (disc < 0.0) return false;
  const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
  if (q == 0.0) return true;
  double t0 = q / a, t1 = c / q;
  if (t0 > t1) std::swap(t0, t1);
  const double n = static_cast<double>(g.x1 - g.x0);
  const double margin = 2.0 + n * n * 0x1p-23;
  const double from = std::floor(t0 * n) - margin, to = std::ceil(t1 * n) + margin + 1.0;
  if (!(to > 0.0) || !(from < count)) return false;
  if (from > 0.0) lo = static_cast<int32_t>(from);
  if (to < count) hi = static_cast<int32_t>(to);
  return lo < hi;
}

// Colour spans up to this many pixels are not clipped to the brush: the clip costs more than
// evaluating their pixels.
constexpr int32_t kClippedSpan = 32;

// The rows of a triangle the brush sphere can reach, and whether the triangle lies inside it.
struct TriangleReach {
  int32_t rowMin = 0, rowMax = 0;
  bool inside = false;  // every vertex within the radius: the sphere holds the whole triangle
};

// Every point a row's span evaluates lies on the line of the triangle's plane where the affine
// row function (each vertex to its rounded pixel row) takes that row's value. The sphere meets
// the plane in a disc, over which the row function spans its value at the disc's centre plus or
// minus the disc's radius times its gradient. A radius widened beyond the rounding of the
// single-precision rule, and rows widened beyond the drift of the walk's running parameters,
// keep every row the rule could paint. False when no row can be painted.
bool triangleReach(const FalloffTable& t, const float pos[3][3], const WalkPoint v[3], int32_t rows,
                   TriangleReach& out) {
  out.rowMin = 0;
  out.rowMax = rows;
  out.inside = false;
  double p[3][3], c[3], magnitude = 0.0;
  int32_t inside = 0;
  for (int j = 0; j < 3; ++j) {
    c[j] = t.centre[j];
    magnitude = std::max(magnitude, std::abs(c[j]));
  }
  for (int i = 0; i < 3; ++i) {
    double d2 = 0.0;
    for (int j = 0; j < 3; ++j) {
      p[i][j] = pos[i][j];
      magnitude = std::max(magnitude, std::abs(p[i][j]));
      d2 += (p[i][j] - c[j]) * (p[i][j] - c[j]);
    }
    if (d2 < t.radius2) ++inside;
  }
  out.inside = inside == 3;
  const double r0 = std::sqrt(static_cast<double>(t.radius2));
  if (!std::isfinite(magnitude) || !std::isfinite(r0)) return true;
  const double r = r0 + 1e-5 * (4.0 * magnitude + r0);
  double e1[3], e2[3], toCentre[3];
  for (int j = 0; j < 3; ++j) {
    e1[j] = p[1][j] - p[0][j];
    e2[j] = p[2][j] - p[0][j];
    toCentre[j] = c[j] - p[0][j];
  }
  const double a11 = e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2];
  const double a12 = e1[0] * e2[0] + e1[1] * e2[1] + e1[2] * e2[2];
  const double a22 = e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2];
  const double det = a11 * a22 - a12 * a12;  // the squared length of e1 x e2
  // A sliver whose plane is not well defined keeps every row.
  if (!(det > 1e-9 * a11 * a22)) return true;
  const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                       e1[0] * e2[1] - e1[1] * e2[0]};
  const double h = (toCentre[0] * n[0] + toCentre[1] * n[1] + toCentre[2] * n[2]) / std::sqrt(det);
  if (!(std::abs(h) < r)) return false;
  const double dy1 = static_cast<double>(v[1].y) - v[0].y;
  const double dy2 = static_cast<double>(v[2].y) - v[0].y;
  const double alpha = (a22 * dy1 - a12 * dy2) / det, beta = (a11 * dy2 - a12 * dy1) / det;
  double g[3], gg = 0.0, atCentre = v[0].y;
  for (int j = 0; j < 3; ++j) {
    g[j] = alpha * e1[j] + beta * e2[j];
    gg += g[j] * g[j];
    atCentre += g[j] * toCentre[j];
  }
  const double half = std::sqrt(r * r - h * h) * std::sqrt(gg);
  const double height = std::max({v[0].y, v[1].y, v[2].y}) - std::min({v[0].y, v[1].y, v[2].y});
  const double margin = 2.0 + height * height * 0x1p-22 + 1e-6 * (std::abs(atCentre) + half);
  const double from = std::floor(atCentre - half - margin);
  const double to = std::ceil(atCentre + half + margin) + 1.0;
  if (!std::isfinite(from) || !std::isfinite(to)) return true;
  if (!(to > 0.0) || !(from < rows)) return false;
  if (from > 0.0) out.rowMin = static_cast<int32_t>(from);
  if (to < rows) out.rowMax = static_cast<int32_t>(to);
  return out.rowMin < out.rowMax;
}

// The running sums of the parameter of narrow spans: entry k of the row for spans of n pixels
// is k steps of 1/n added one at a time from 0, as the walk along such a span adds them. A span
// copies them instead of waiting on one addition after another.
constexpr int32_t kSummedWidths = 64;

struct TauSums {
  float sums[kSummedWidths * (kSummedWidths + 1) / 2] = {};
  TauSums() {
    for (int32_t n = 1; n <= kSummedWidths; ++n) {
      const float step = 1.f / static_cast<float>(n);
      float tau = 0.f;
      for (int32_t k = 0; k < n; ++k) {
        sums[first(n) + k] = tau;
        tau += step;
      }
    }
  }
  static int32_t first(int32_t n) { return n * (n - 1) / 2; }
  const float* row(int32_t n) const { return sums + first(n); }
};

const TauSums& tauSums() {
  static const TauSums sums;
  return sums;
}

// The span parameters of a span's pixels: pixel k's at [k] of the answer. Narrow spans take
// them from the sums above; wider ones have pixels [lo, hi) of `out` filled with them.
const float* spanParameters(const SpanGeometry& g, int32_t lo, int32_t hi, float* out) {
  const int32_t n = g.x1 - g.x0;
  if (n <= kSummedWidths) return tauSums().row(n);
  float tau = tauAt(g, lo);
  for (int32_t k = lo; k < hi; ++k) {
    out[k] = tau;
    tau += g.step;
  }
  return out;
}

// The table opacity of pixels [lo, hi) into `out`, pixel k's span parameter at tau[k] (which may
// be `out` itself); false when none is painted. One pixel's rule, in single precision: its position
// start + tau delta, d = centre - position, d2 = dx dx + dy dy + dz dz; nothing unless 0 <= d2 <
// radius2 and at = d2 scale lies below the table's length; else strength times the entry at the
// whole part of `at`. Four pixels go at a time, each lane the same operations in the same order;
// the last one to three go as a block of four whose other lanes are dropped.
bool tableSpan(const FalloffTable& t, const SpanGeometry& g, float strength, int32_t lo, int32_t hi,
               const float* tau, float* out) {
  const float cx = t.centre[0], cy = t.centre[1], cz = t.centre[2];
  const float sx = g.start[0], sy = g.start[1], sz = g.start[2];
  const float ex = g.delta[0], ey = g.delta[1], ez = g.delta[2];
  const float radius2 = t.radius2, scale = t.scale;
  int32_t k = lo;
#if defined(__SSE2__)
  const __m128 vcx = _mm_set1_ps(cx), vcy = _mm_set1_ps(cy), vcz = _mm_set1_ps(cz);
  const __m128 vsx = _mm_set1_ps(sx), vsy = _mm_set1_ps(sy), vsz = _mm_set1_ps(sz);
  const __m128 vex = _mm_set1_ps(ex), vey = _mm_set1_ps(ey), vez = _mm_set1_ps(ez);
  const __m128 vr2 = _mm_set1_ps(radius2), vscale = _mm_set1_ps(scale);
  const __m128 entries = _mm_set1_ps(static_cast<float>(kFalloffEntries));
  const __m128 zero = _mm_setzero_ps(), vstrength = _mm_set1_ps(strength);
  int anyLit = 0;
  auto block = [&](__m128 at4) {
    const __m128 dx = _mm_sub_ps(vcx, _mm_add_ps(vsx, _mm_mul_ps(at4, vex)));
    const __m128 dy = _mm_sub_ps(vcy, _mm_add_ps(vsy, _mm_mul_ps(at4, vey)));
    const __m128 dz = _mm_sub_ps(vcz, _mm_add_ps(vsz, _mm_mul_ps(at4, vez)));
    const __m128 d2 =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
    const __m128 at = _mm_mul_ps(d2, vscale);
    const __m128 lit = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(d2, zero), _mm_cmplt_ps(d2, vr2)),
                                  _mm_cmplt_ps(at, entries));
    if (_mm_movemask_ps(lit) == 0) return zero;
    alignas(16) int32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(index), _mm_cvttps_epi32(_mm_and_ps(lit, at)));
    const __m128 f = _mm_setr_ps(t.f[index[0]], t.f[index[1]], t.f[index[2]], t.f[index[3]]);
    return _mm_and_ps(lit, _mm_mul_ps(vstrength, f));
  };
  for (; k + 4 <= hi; k += 4) {
    const __m128 o = block(_mm_loadu_ps(tau + k));
    anyLit |= _mm_movemask_ps(_mm_cmpgt_ps(o, zero));
    _mm_storeu_ps(out + k, o);
  }
  if (k < hi) {
    const int32_t rest = hi - k;
    const __m128 o = block(loadLanesPs(tau + k, rest));
    anyLit |= _mm_movemask_ps(_mm_cmpgt_ps(o, zero)) & ((1 << rest) - 1);
    storeLanesPs(out + k, o, rest);
  }
  return anyLit != 0;
#else
  bool anyLit = false;
  for (; k < hi; ++k) {
    const float dx = cx - (sx + tau[k] * ex), dy = cy - (sy + tau[k] * ey),
                dz = cz - (sz + tau[k] * ez);
    const float d2 = dx * dx + dy * dy + dz * dz;
    float o = 0.f;
    if (d2 >= 0.f && d2 < radius2) {
      const float at = d2 * scale;
      if (at < static_cast<float>(kFalloffEntries)) o = strength * t.f[static_cast<int32_t>(at)];
    }
    out[k] = o;
    anyLit = anyLit || o > 0.f;
  }
  return anyLit;
#endif
}

// Opacity of pixels [lo, hi) of a span; false when none of them is painted.
bool colourOpacity(const Brush& b, const SpanGeometry& g, int32_t lo, int32_t hi, float* out) {
  float tau = 0.f;
  float p[3];
  bool anyLit = false;
  switch (b.rule) {
    case OpacityRule::kStrength:
      for (int32_t k = lo; k < hi; ++k) out[k] = b.strength;
      anyLit = b.strength > 0.f && lo < hi;
      break;
    case OpacityRule::kTable:
      // The hot loop of painting: a lookup on the squared distance, no square root. The
      // parameters come first; the distances then vectorise, lane by lane the same operations
      // as one pixel at a time.
      anyLit = tableSpan(*b.table, g, b.strength, lo, hi, spanParameters(g, lo, hi, out), out);
      break;
    case OpacityRule::kHost:
      tau = tauAt(g, lo);
      for (int32_t k = lo; k < hi; ++k) {
        for (int i = 0; i < 3; ++i) p[i] = g.start[i] + tau * g.delta[i];
        out[k] = b.strength * static_cast<float>(b.dab->falloffAt(toVector(p)));
        anyLit = anyLit || out[k] > 0.f;
        tau += g.step;
      }
      break;
    case OpacityRule::kNone:
      for (int32_t k = lo; k < hi; ++k) out[k] = 0.f;
      break;
  }
  if (!anyLit || !b.pointTest || !b.dab) return anyLit;
  anyLit = false;
  tau = tauAt(g, lo);
  for (int32_t k = lo; k < hi; ++k) {
    if (out[k] > 0.f) {
      for (int i = 0; i < 3; ++i) p[i] = g.start[i] + tau * g.delta[i];
      if (!b.dab->pointTest(toVector(p))) out[k] = 0.f;
      anyLit = anyLit || out[k] > 0.f;
    }
    tau += g.step;
  }
  return anyLit;
}

// Scratch of a stamp span: each pixel's stamp index, opacity and colour.
struct StampScratch {
  int32_t* at = nullptr;
  float* opacity = nullptr;
  uint8_t* colours = nullptr;
};

// What the stamp routine needs of the triangle and the settings.
struct StampSetup {
  double det = 0.0;
  double vx[3] = {}, vy[3] = {};  // rounded vertex pixels
  double sx[3] = {}, sy[3] = {};  // vertex stamp coordinates
  bool stencil = false;           // pixels outside the image are never painted
  bool tile = false;              // outside the stamp it repeats, in both directions
  bool flat = false;              // opacity is the strength, no falloff
  bool useStampColor = false;
  bool stampAlpha = false;
};

// Moves a coordinate outside [0, size) into it by whole sizes.
inline double wrapInto(double v, double size) {
  if (v < 0.0) v += size;
  if (v >= size) v -= size;
  if (v < 0.0 || v >= size) {
    v = std::fmod(v, size);
    if (v < 0.0) v += size;
    if (v >= size) v = 0.0;
  }
  return v;
}

// Whether stamp point (s, t) of a stamp of sw x sh pixels is painted; a tiled stamp (never a
// stencil) moves a point outside it into it.
inline bool stampPoint(const StampSetup& st, double sw, double sh, double& s, double& t) {
  if (s >= 0.0 && s < sw && t >= 0.0 && t < sh) return true;
  if (st.stencil || !st.tile || !std::isfinite(s) || !std::isfinite(t)) return false;
  s = wrapInto(s, sw);
  t = wrapInto(t, sh);
  return true;
}

inline int32_t stampIndex(double v, int32_t size) {
  const int32_t i = static_cast<int32_t>(v);
  return i < 0 ? 0 : (i >= size ? size - 1 : i);
}

// The stamp coordinates (s, t) of the pixels of row y: the barycentric weights of each pixel
// centre within the rounded triangle, and the vertices' stamp coordinates weighted by them. Two
// pixels at a time, each lane the same double-precision operations in the same order as one
// pixel alone.
struct StampRow {
  const StampSetup& st;
  double a0, b0, a1, b1;

  StampRow(const StampSetup& setup, int32_t y) : st(setup) {
    const double dy2 = static_cast<double>(y) - st.vy[2];
    a0 = st.vy[1] - st.vy[2];
    b0 = (st.vx[2] - st.vx[1]) * dy2;
    a1 = st.vy[2] - st.vy[0];
    b1 = (st.vx[0] - st.vx[2]) * dy2;
  }

  void one(int32_t x, double& s, double& t) const {
    const double dx2 = static_cast<double>(x) - st.vx[2];
    const double l0 = (a0 * dx2 + b0) / st.det;
    const double l1 = (a1 * dx2 + b1) / st.det;
    const double l2 = 1.0 - l0 - l1;
    s = l0 * st.sx[0] + l1 * st.sx[1] + l2 * st.sx[2];
    t = l0 * st.sy[0] + l1 * st.sy[1] + l2 * st.sy[2];
  }

#if defined(__SSE2__)
  // Pixels x and x + 1: s in sv, t in tv, the first pixel in the low lane.
  void pair(int32_t x, __m128d& sv, __m128d& tv) const {
    const __m128d px = _mm_set_pd(static_cast<double>(x + 1), static_cast<double>(x));
    const __m128d dx2 = _mm_sub_pd(px, _mm_set1_pd(st.vx[2]));
    const __m128d det = _mm_set1_pd(st.det);
    const __m128d l0 =
        _mm_div_pd(_mm_add_pd(_mm_mul_pd(_mm_set1_pd(a0), dx2), _mm_set1_pd(b0)), det);
    const __m128d l1 =
        _mm_div_pd(_mm_add_pd(_mm_mul_pd(_mm_set1_pd(a1), dx2), _mm_set1_pd(b1)), det);
    const __m128d l2 = _mm_sub_pd(_mm_sub_pd(_mm_set1_pd(1.0), l0), l1);
    sv = _mm_add_pd(
        _mm_add_pd(_mm_mul_pd(l0, _mm_set1_pd(st.sx[0])), _mm_mul_pd(l1, _mm_set1_pd(st.sx[1]))),
        _mm_mul_pd(l2, _mm_set1_pd(st.sx[2])));
    tv = _mm_add_pd(
        _mm_add_pd(_mm_mul_pd(l0, _mm_set1_pd(st.sy[0])), _mm_mul_pd(l1, _mm_set1_pd(st.sy[1]))),
        _mm_mul_pd(l2, _mm_set1_pd(st.sy[2])));
  }
#endif
};

// The stamp coordinates of `count` pixels of row y from pixel x on, into out[2k], out[2k+1].
void stampCoordinates(const StampSetup& st, int32_t y, int32_t x, int32_t count, double* out) {
  const StampRow r(st, y);
  int32_t k = 0;
#if defined(__SSE2__)
  for (; k + 2 <= count; k += 2) {
    __m128d sv, tv;
    r.pair(x + k, sv, tv);
    _mm_storeu_pd(out + 2 * k, _mm_unpacklo_pd(sv, tv));
    _mm_storeu_pd(out + 2 * k + 2, _mm_unpackhi_pd(sv, tv));
  }
#endif
  for (; k < count; ++k) r.one(x + k, out[2 * k], out[2 * k + 1]);
}

// The index in a stamp of w x h pixels that pixel x + k of row y takes, into at[k] for `count`
// pixels, -1 where the stamp paints nothing or the pixel's opacity (opacity[k]) is none.
// The index of a stamp point that may lie outside the stamp, -1 for none.
inline int32_t stampIndexOf(const StampSetup& st, int32_t w, int32_t h, double s, double t) {
  return stampPoint(st, w, h, s, t) ? stampIndex(t, h) * w + stampIndex(s, w) : -1;
}

#if defined(PIGMORA_WIDE_VECTORS)
// stampIndices four pixels at a time, for processors with 256-bit vectors: the same
// double-precision operations in the same order (no fused multiply-adds), so the same indices.
// Answers how many pixels it did, a multiple of four.
PIGMORA_WIDE int32_t wideStampIndices(const StampRow& r, int32_t x, int32_t count, int32_t w,
                                      int32_t h, const float* opacity, int32_t* at) {
  const StampSetup& st = r.st;
  const __m256d zero = _mm256_setzero_pd(), vw = _mm256_set1_pd(w), vh = _mm256_set1_pd(h);
  const __m256d one = _mm256_set1_pd(1.0), det = _mm256_set1_pd(st.det);
  const __m256d vx2 = _mm256_set1_pd(st.vx[2]);
  const __m256d a0 = _mm256_set1_pd(r.a0), b0 = _mm256_set1_pd(r.b0);
  const __m256d a1 = _mm256_set1_pd(r.a1), b1 = _mm256_set1_pd(r.b1);
  const __m256d s0 = _mm256_set1_pd(st.sx[0]), s1 = _mm256_set1_pd(st.sx[1]),
                s2 = _mm256_set1_pd(st.sx[2]);
  const __m256d t0 = _mm256_set1_pd(st.sy[0]), t1 = _mm256_set1_pd(st.sy[1]),
                t2 = _mm256_set1_pd(st.sy[2]);
  const __m128i vwi = _mm_set1_epi32(w), none = _mm_set1_epi32(-1);
  int32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const double px = static_cast<double>(x + k);
    const __m256d dx2 = _mm256_sub_pd(_mm256_set_pd(px + 3.0, px + 2.0, px + 1.0, px), vx2);
    const __m256d l0 = _mm256_div_pd(_mm256_add_pd(_mm256_mul_pd(a0, dx2), b0), det);
    const __m256d l1 = _mm256_div_pd(_mm256_add_pd(_mm256_mul_pd(a1, dx2), b1), det);
    const __m256d l2 = _mm256_sub_pd(_mm256_sub_pd(one, l0), l1);
    const __m256d sv = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(l0, s0), _mm256_mul_pd(l1, s1)),
                                     _mm256_mul_pd(l2, s2));
    const __m256d tv = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(l0, t0), _mm256_mul_pd(l1, t1)),
                                     _mm256_mul_pd(l2, t2));
    const __m256d in = _mm256_and_pd(
        _mm256_and_pd(_mm256_cmp_pd(sv, zero, _CMP_GE_OQ), _mm256_cmp_pd(sv, vw, _CMP_LT_OQ)),
        _mm256_and_pd(_mm256_cmp_pd(tv, zero, _CMP_GE_OQ), _mm256_cmp_pd(tv, vh, _CMP_LT_OQ)));
    const __m128i index =
        _mm_add_epi32(_mm_mullo_epi32(_mm256_cvttpd_epi32(tv), vwi), _mm256_cvttpd_epi32(sv));
    const __m128i painted =
        _mm_castps_si128(_mm_cmpgt_ps(_mm_loadu_ps(opacity + k), _mm_setzero_ps()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + k), _mm_blendv_epi8(none, index, painted));
    // Painted points outside the stamp (tiled, or none) go the long way.
    const int far = _mm_movemask_ps(_mm_castsi128_ps(painted)) & ~_mm256_movemask_pd(in);
    if (far == 0) continue;
    alignas(32) double ss[4], ts[4];
    _mm256_store_pd(ss, sv);
    _mm256_store_pd(ts, tv);
    for (int j = 0; j < 4; ++j)
      if (far & (1 << j)) at[k + j] = stampIndexOf(st, w, h, ss[j], ts[j]);
  }
  return k;
}

#endif

void stampIndices(const StampSetup& st, int32_t y, int32_t x, int32_t count, int32_t w, int32_t h,
                  const float* opacity, int32_t* at) {
  const StampRow r(st, y);
  const double sw = w, sh = h;
  int32_t k = 0;
#if defined(PIGMORA_WIDE_VECTORS)
  if (wideVectors()) k = wideStampIndices(r, x, count, w, h, opacity, at);
#endif
#if defined(__SSE2__)
  // Points inside the stamp are most of them: their indices are the whole parts of s and t.
  const __m128d zero = _mm_setzero_pd(), vw = _mm_set1_pd(sw), vh = _mm_set1_pd(sh);
  for (; k + 2 <= count; k += 2) {
    __m128d sv, tv;
    r.pair(x + k, sv, tv);
    const __m128d in = _mm_and_pd(_mm_and_pd(_mm_cmpge_pd(sv, zero), _mm_cmplt_pd(sv, vw)),
                                  _mm_and_pd(_mm_cmpge_pd(tv, zero), _mm_cmplt_pd(tv, vh)));
    const int inside = _mm_movemask_pd(in);
    const __m128i si = _mm_cvttpd_epi32(sv), ti = _mm_cvttpd_epi32(tv);
    const int32_t s0 = _mm_cvtsi128_si32(si), s1 = _mm_cvtsi128_si32(_mm_srli_si128(si, 4));
    const int32_t t0 = _mm_cvtsi128_si32(ti), t1 = _mm_cvtsi128_si32(_mm_srli_si128(ti, 4));
    at[k] = !(opacity[k] > 0.f) ? -1
            : (inside & 1)      ? t0 * w + s0
                                : stampIndexOf(st, w, h, _mm_cvtsd_f64(sv), _mm_cvtsd_f64(tv));
    at[k + 1] = !(opacity[k + 1] > 0.f) ? -1
                : (inside & 2)          ? t1 * w + s1
                               : stampIndexOf(st, w, h, _mm_cvtsd_f64(_mm_unpackhi_pd(sv, sv)),
                                              _mm_cvtsd_f64(_mm_unpackhi_pd(tv, tv)));
  }
#endif
  for (; k < count; ++k) {
    double s, t;
    r.one(x + k, s, t);
    at[k] = opacity[k] > 0.f ? stampIndexOf(st, w, h, s, t) : -1;
  }
}

// Paints `count` pixels of row y from pixel x on, held in row, from the slot's stamp or stencil;
// opacity[k] is the brush's opacity of pixel x + k. `coords` is scratch for the coordinates of
// `count` pixels.
void stampSpan(const StampSetup& st, const SlotPass& p, int32_t y, int32_t x, int32_t count,
               const float* opacity, double* coords, uint8_t* row, StampScratch& scratch) {
  const int32_t w = p.stamp->width(), h = p.stamp->height();
  const uint8_t* kept = p.stampPixels;
  const uint8_t* keptAlpha = st.stampAlpha ? p.stampAlpha : nullptr;
  const double sw = w, sh = h;
  const uint8_t* replacement = st.useStampColor ? nullptr : p.color;
  if (kept) {
    // The stamp's pixels are at hand in the layer's mode: each pixel's index is found here,
    // the blend goes a span at a time.
    stampIndices(st, y, x, count, w, h, opacity, scratch.at);
    blendStampSpan(p.layout, row, count, opacity, scratch.at, kept, keptAlpha, st.useStampColor,
                   replacement, scratch.opacity, scratch.colours);
    return;
  }
  stampCoordinates(st, y, x, count, coords);
  size_t offset = 0;
  for (int32_t k = 0; k < count; ++k) {
    double s = coords[2 * k], t = coords[2 * k + 1];
    const bool painted = stampPoint(st, sw, sh, s, t);
    const float o = painted ? opacity[k] : 0.f;
    if (!(o > 0.f)) {
      offset += static_cast<size_t>(p.layout.pixelBytes);
      continue;
    }
    const int32_t sx = stampIndex(s, w), sy = stampIndex(t, h);
    BlendPixel(p.layout.mode, offset, row, o, p.color, st.stampAlpha, st.useStampColor, replacement,
               p.stamp, nullptr, sx, sy);
  }
}

}  // namespace

void rasterize_bary(const host::BrushDab* dab, PaintTarget& target, int32_t slot, int32_t tri) {
  const RasterTriangle* t = triangleRecord(target, tri);
  if (!t) return;
  SlotPass passes[kChannelCount];
  const int32_t found = collectSlots(target, slot, passes);
  if (found == 0) return;

  // A stamp when it is on, else a stencil when that is on; the blur paints neither.
  const host::Bitmap* image = nullptr;
  if (dab && target.stampOn)
    image = dab->stamp();
  else if (dab && target.stencilOn)
    image = dab->stencil();
  const bool stamping = image && target.paintMode == kPaintModeColor;
  const bool ownStamps =
      stamping && target.paintAllChannels && target.perChannelStamps && target.stampOn;
  const bool useStampColor = target.stampOn || target.stampColor;
  PaintMaterialRegistry* registry = stamping ? PaintMaterialRegistry::existing() : nullptr;
  if (ownStamps && !registry) return;

  int32_t n = 0;
  for (int32_t i = 0; i < found; ++i) {
    SlotPass& p = passes[i];
    if (!p.layout.blends) continue;
    if (stamping) {
      p.stamp = ownStamps ? registry->sampledChannel(p.slot) : image;
      if (!p.stamp || p.stamp->width() <= 0 || p.stamp->height() <= 0) continue;
      if (registry && !registry->stampCache().get(p.stamp, p.layout.mode, p.layout.pixelBytes,
                                                  p.stampPixels, p.stampAlpha))
        p.stampPixels = p.stampAlpha = nullptr;
      if (!useStampColor && !convertColor(slotColor(target, dab, p.slot), p.layout, p.color))
        continue;
    } else {
      if (!(target.strength > 0.0)) continue;
      if (!convertColor(slotColor(target, dab, p.slot), p.layout, p.color)) continue;
    }
    if (n != i) passes[n] = p;
    ++n;
  }
  if (n == 0) return;

  Brush brush;
  brush.dab = dab;
  brush.table = &target.falloff;
  brush.strength = static_cast<float>(target.strength);
  brush.pointTest = target.pointTest != 0;
  brush.rule =
      target.pointTest || target.wholePolygon ? OpacityRule::kStrength : falloffRule(target, dab);

  WalkPoint v[3];
  roundVertices(*t, v);
  StampSetup st;
  if (stamping) {
    const host::Settings* settings = dab->settings();
    for (int i = 0; i < 3; ++i) {
      st.vx[i] = v[i].x;
      st.vy[i] = v[i].y;
      st.sx[i] = t->v[i].sx;
      st.sy[i] = t->v[i].sy;
    }
    st.det = (st.vy[1] - st.vy[2]) * (st.vx[0] - st.vx[2]) +
             (st.vx[2] - st.vx[1]) * (st.vy[0] - st.vy[2]);
    // Without area there is no stamp point to sample.
    if (st.det == 0.0) return;
    st.stencil = target.stencilOn != 0;
    st.tile =
        settings && settings->getBool(kSettingStampTileX) && settings->getBool(kSettingStampTileY);
    const bool stencilFalloff =
        !target.stencilOn || !settings || settings->getBool(kSettingStencilFalloff, true);
    st.flat = target.pointTest || target.wholePolygon || target.fixedStrength || !stencilFalloff;
    st.useStampColor = useStampColor;
    st.stampAlpha = target.stampAlpha != 0;
  }
  float pos[3][3];
  for (int i = 0; i < 3; ++i) {
    pos[i][0] = static_cast<float>(t->v[i].px);
    pos[i][1] = static_cast<float>(t->v[i].py);
    pos[i][2] = static_cast<float>(t->v[i].pz);
  }

  int32_t rows = 0;
  const int32_t widest = widestSpan(v, passes, n, rows);
  if (widest <= 0) return;
  const size_t w = static_cast<size_t>(widest);
  const bool blur = !stamping && target.paintMode == kPaintModeBlur;
  ScratchLayout layout;
  const size_t rowAt = layout.add(w * kMaxPixelBytes);
  const size_t opacityAt = layout.add(w * sizeof(float));
  const size_t coordsAt = stamping ? layout.add(w * 2 * sizeof(double)) : 0;
  const size_t stampAt = stamping ? layout.add(w * sizeof(int32_t)) : 0;
  const size_t stampOpacityAt = stamping ? layout.add(w * sizeof(float)) : 0;
  const size_t stampColoursAt = stamping ? layout.add(w * kMaxPixelBytes) : 0;
  BlurScratch scratch;
  if (blur) scratch.reserve(layout, w);
  SpanBuffer buffer;
  if (!buffer.reserve(layout.size())) return;
  uint8_t* base = buffer.data();
  uint8_t* row = base + rowAt;
  float* opacity = reinterpret_cast<float*>(base + opacityAt);
  double* coords = stamping ? reinterpret_cast<double*>(base + coordsAt) : nullptr;
  StampScratch stampScratch;
  if (stamping) {
    stampScratch.at = reinterpret_cast<int32_t*>(base + stampAt);
    stampScratch.opacity = reinterpret_cast<float*>(base + stampOpacityAt);
    stampScratch.colours = base + stampColoursAt;
  }
  if (blur) scratch.place(base);

  // A stamp or stencil painted without falloff takes the strength alone.
  Brush stampBrush = brush;
  if (stamping && st.flat) stampBrush.rule = OpacityRule::kStrength;

  // The falloff table paints nothing beyond the brush's radius: rows and pixels past it are not
  // even looked at.
  const bool clipped = brush.rule == OpacityRule::kTable && !(stamping && st.flat);
  TriangleReach within;
  within.rowMax = rows;
  if (clipped && !triangleReach(*brush.table, pos, v, rows, within)) return;
  const bool clipSpans = clipped && !within.inside;
  walkTriangle(v, within.rowMin, within.rowMax, [&](const WalkSpan& span) {
    const SpanGeometry g = spanGeometry(span, pos);
    if (g.x0 < 0) return;
    int32_t reach = g.x1 - g.x0;
    if (reach > widest) reach = widest;
    // Only the part of the span the brush reaches is read, blended and written back: the pixels
    // around it would be left as they are anyway.
    // A short colour span is cheaper to evaluate whole than to clip: the falloff is zero past
    // the radius, and the trim below drops those pixels all the same. Stamp pixels cost more.
    int32_t first = 0;
    if (clipSpans && (stamping || reach > kClippedSpan) &&
        !brushReach(*brush.table, g, reach, first, reach))
      return;
    if (!stamping) {
      if (!colourOpacity(brush, g, first, reach, opacity)) return;
      while (!(opacity[first] > 0.f)) ++first;
      while (!(opacity[reach - 1] > 0.f)) --reach;
    } else {
      // Every channel's stamp pixel takes the same opacity: it is worked out once for the span,
      // the rows read and written all the same.
      colourOpacity(stampBrush, g, first, reach, opacity);
    }
    const int32_t x0 = g.x0 + first;
    for (int32_t i = 0; i < n; ++i) {
      const SlotPass& p = passes[i];
      if (span.y >= p.height) continue;
      int32_t count = (g.x1 < p.width ? g.x1 : p.width) - g.x0;
      if (count > reach) count = reach;
      count -= first;
      if (count <= 0) continue;
      if (!p.bitmap->getPixelRow(x0, span.y, count, row, p.layout.mode)) continue;
      if (stamping) {
        stampSpan(st, p, span.y, x0, count, opacity + first, coords, row, stampScratch);
      } else if (blur) {
        if (!blurSpan(p, span.y, x0, count, opacity + first, scratch, row)) continue;
      } else {
        blendSpan(p.layout, row, count, opacity + first, 1, p.color, 0);
      }
      p.bitmap->setPixelRow(x0, span.y, count, row, p.layout.mode);
    }
  });
}

}  // namespace pigmora
