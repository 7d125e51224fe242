#include "cli/uv_path.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pigmora::cli {

namespace {

constexpr int32_t kCells = 64;
constexpr double kStep = 1.0 / 1024.0;
// The most samples a whole path gets: a longer path is sampled more coarsely.
constexpr double kMaxSamples = 1 << 18;

// Clips the segment a..b to the box lo..hi (x and y); false when it misses the box.
bool clipToBox(host::Vector& a, host::Vector& b, const host::Vector& lo, const host::Vector& hi) {
  double t0 = 0, t1 = 1;
  const double start[2] = {a.x, a.y}, delta[2] = {b.x - a.x, b.y - a.y};
  const double low[2] = {lo.x, lo.y}, high[2] = {hi.x, hi.y};
  for (int k = 0; k < 2; ++k) {
    if (delta[k] == 0) {
      if (start[k] < low[k] || start[k] > high[k]) return false;
      continue;
    }
    double ta = (low[k] - start[k]) / delta[k], tb = (high[k] - start[k]) / delta[k];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
  }
  if (!(t0 <= t1)) return false;
  const host::Vector d = b - a;
  b = a + d * t1;
  a = a + d * t0;
  return true;
}

// Barycentric weights of p in the UV triangle (a, b, c); false when p lies outside.
bool barycentric(const host::Vector& p, const host::Vector& a, const host::Vector& b,
                 const host::Vector& c, double w[3]) {
  const double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
  if (std::abs(det) < 1e-18) return false;
  w[1] = ((p.x - a.x) * (c.y - a.y) - (c.x - a.x) * (p.y - a.y)) / det;
  w[2] = ((b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y)) / det;
  w[0] = 1.0 - w[1] - w[2];
  constexpr double kEdge = -1e-9;
  return w[0] >= kEdge && w[1] >= kEdge && w[2] >= kEdge;
}

class UvLocator {
 public:
  explicit UvLocator(const host::PolygonObject& obj) : obj_(obj) {
    uvw_ = static_cast<host::UVWTag*>(obj.tag(host::kTypeUVWTag));
    if (!uvw_) return;
    const int32_t count = obj.polygonCount();
    std::vector<std::array<double, 4>> boxes;  // u0, v0, u1, v1 of each polygon
    boxes.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int32_t i = 0; i < count; ++i) {
      const host::UVWPolygon uv = uvw_->get(i);
      std::array<double, 4> b = {1e300, 1e300, -1e300, -1e300};
      for (int k = 0; k < 4; ++k) {
        b[0] = std::min(b[0], uv.corner(k).x);
        b[1] = std::min(b[1], uv.corner(k).y);
        b[2] = std::max(b[2], uv.corner(k).x);
        b[3] = std::max(b[3], uv.corner(k).y);
      }
      boxes.push_back(b);
      if (!std::isfinite(b[0] + b[1] + b[2] + b[3])) continue;
      lo_ = {std::min(lo_.x, b[0]), std::min(lo_.y, b[1]), 0};
      hi_ = {std::max(hi_.x, b[2]), std::max(hi_.y, b[3]), 0};
    }
    // Polygons enter every cell their UVs cover; the grid coarsens until the entries stay in
    // proportion to the mesh, however much the UVs overlap.
    const int64_t budget = int64_t{16} * count + kCells * kCells;
    for (cells_n_ = kCells; cells_n_ > 1; cells_n_ /= 2) {
      int64_t entries = 0;
      for (const auto& b : boxes)
        entries += int64_t{cell(b[3]) - cell(b[1]) + 1} * (cell(b[2]) - cell(b[0]) + 1);
      if (entries <= budget) break;
    }
    cells_.resize(static_cast<size_t>(cells_n_) * cells_n_);
    for (int32_t i = 0; i < count; ++i) {
      const auto& b = boxes[static_cast<size_t>(i)];
      for (int32_t cy = cell(b[1]); cy <= cell(b[3]); ++cy)
        for (int32_t cx = cell(b[0]); cx <= cell(b[2]); ++cx)
          cells_[static_cast<size_t>(cy) * cells_n_ + cx].push_back(i);
    }
  }

  // The box of every finite UV; empty (lo above hi) without UVs.
  const host::Vector& lo() const { return lo_; }
  const host::Vector& hi() const { return hi_; }

  // The object-space point at a UV position.
  bool locate(const host::Vector& uvPoint, host::Vector& out) const {
    if (!uvw_ || cells_.empty()) return false;
    const host::Polygon* polys = obj_.polygons();
    const host::Vector* points = obj_.points();
    for (int32_t i : cells_[static_cast<size_t>(cell(uvPoint.y)) * cells_n_ + cell(uvPoint.x)]) {
      const host::UVWPolygon uv = uvw_->get(i);
      const host::Polygon& p = polys[i];
      double w[3];
      if (barycentric(uvPoint, uv.a, uv.b, uv.c, w)) {
        out = points[p.a] * w[0] + points[p.b] * w[1] + points[p.c] * w[2];
        return true;
      }
      if (!p.isTriangle() && barycentric(uvPoint, uv.a, uv.c, uv.d, w)) {
        out = points[p.a] * w[0] + points[p.c] * w[1] + points[p.d] * w[2];
        return true;
      }
    }
    return false;
  }

 private:
  // The cell of a UV coordinate, clamped into the grid for any value, NaN included.
  int32_t cell(double t) const {
    const double q = std::floor(t * cells_n_);
    if (!(q >= 0)) return 0;
    return q >= cells_n_ - 1 ? cells_n_ - 1 : static_cast<int32_t>(q);
  }
  const host::PolygonObject& obj_;
  host::UVWTag* uvw_ = nullptr;
  int32_t cells_n_ = kCells;
  std::vector<std::vector<int32_t>> cells_;
  host::Vector lo_{1e300, 1e300, 0}, hi_{-1e300, -1e300, 0};
};

}  // namespace

std::vector<host::Vector> uvPathToSurface(const host::PolygonObject& obj,
                                          const std::vector<host::Vector>& uvPath) {
  std::vector<host::Vector> out;
  if (uvPath.empty()) return out;
  const UvLocator locator(obj);
  const host::Matrix toWorld = obj.globalMatrix();
  auto add = [&](const host::Vector& uv) {
    host::Vector p;
    if (locator.locate(uv, p)) out.push_back(toWorld * p);
  };
  auto finite = [](const host::Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y); };
  // Only the parts of the segments over the UVs can meet a polygon: the work follows them and
  // the sample budget, never the length of the path as given.
  std::vector<std::pair<host::Vector, host::Vector>> parts;
  double length = 0;
  for (size_t i = 1; i < uvPath.size(); ++i) {
    host::Vector a = uvPath[i - 1], b = uvPath[i];
    if (!finite(a) || !finite(b) || !clipToBox(a, b, locator.lo(), locator.hi())) continue;
    parts.emplace_back(a, b);
    length += host::length(b - a);
  }
  const double step = std::max(kStep, length / kMaxSamples);
  if (finite(uvPath[0])) add(uvPath[0]);
  host::Vector last = uvPath[0];
  for (const auto& [a, b] : parts) {
    const double steps = std::ceil(host::length(b - a) / step);
    const int32_t n = steps >= 1 ? static_cast<int32_t>(std::min(steps, kMaxSamples)) : 1;
    // A part that starts where the last one ended does not take its start twice.
    const bool joined = a.x == last.x && a.y == last.y;
    for (int32_t s = joined ? 1 : 0; s <= n; ++s) add(a + (b - a) * (static_cast<double>(s) / n));
    last = b;
  }
  return out;
}

}  // namespace pigmora::cli
