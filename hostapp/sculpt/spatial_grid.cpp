#include "hostapp/sculpt/spatial_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hostapp {

namespace {
bool finite(const host::Vector& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
host::Vector vmin(const host::Vector& a, const host::Vector& b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
}
host::Vector vmax(const host::Vector& a, const host::Vector& b) {
  return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}
constexpr int32_t kMaxCells = 1 << 21;

// The cell along one axis of an offset from the grid's origin, inside [0, cells) for any offset,
// NaN and infinities included.
int32_t cellOf(double offset, double cell, int32_t cells) {
  const double q = std::floor(offset / cell);
  if (!(q >= 0)) return 0;
  if (q >= cells - 1) return cells - 1;
  return static_cast<int32_t>(q);
}

// Cells needed along an extent, at least 1 and at most kMaxCells.
int32_t cellsAlong(double extent, double cell) {
  const double q = std::ceil(extent / cell) + 1;
  if (!(q < kMaxCells)) return kMaxCells;
  return std::max(1, static_cast<int32_t>(q));
}
}  // namespace

host::Vector closestOnTriangle(const host::Vector& p, const host::Vector& a, const host::Vector& b,
                               const host::Vector& c) {
  // Voronoi regions of the triangle's vertices, edges and face.
  const host::Vector ab = b - a, ac = c - a, ap = p - a;
  const double d1 = host::dot(ab, ap), d2 = host::dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return a;
  const host::Vector bp = p - b;
  const double d3 = host::dot(ab, bp), d4 = host::dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return b;
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
  const host::Vector cp = p - c;
  const double d5 = host::dot(ab, cp), d6 = host::dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return c;
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
    return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
  const double denom = va + vb + vc;
  if (denom == 0) return a;
  return a + ab * (vb / denom) + ac * (vc / denom);
}

bool rayTriangle(const host::Vector& o, const host::Vector& d, const host::Vector& a,
                 const host::Vector& b, const host::Vector& c, double& t) {
  const host::Vector e1 = b - a, e2 = c - a;
  const host::Vector p = host::cross(d, e2);
  const double det = host::dot(e1, p);
  if (std::abs(det) < 1e-14) return false;
  const double inv = 1.0 / det;
  const host::Vector s = o - a;
  const double u = host::dot(s, p) * inv;
  if (u < 0 || u > 1) return false;
  const host::Vector q = host::cross(s, e1);
  const double v = host::dot(d, q) * inv;
  if (v < 0 || u + v > 1) return false;
  t = host::dot(e2, q) * inv;
  return t >= 0;
}

void SpatialGrid::build(const host::PolygonObject& obj) {
  obj_ = &obj;
  cells_.clear();
  const int32_t np = obj.pointCount(), nq = obj.polygonCount();
  const host::Vector* pts = obj.points();
  const host::Polygon* polys = obj.polygons();
  validPolygon_.assign(static_cast<size_t>(std::max(nq, 0)), 0);
  stamp_.assign(static_cast<size_t>(std::max(nq, 0)), 0);
  query_ = 0;
  bool any = false;
  host::Vector lo, hi;
  for (int32_t i = 0; i < np; ++i) {
    if (!finite(pts[i])) continue;
    lo = any ? vmin(lo, pts[i]) : pts[i];
    hi = any ? vmax(hi, pts[i]) : pts[i];
    any = true;
  }
  if (!any) return;
  for (int32_t i = 0; i < nq; ++i) {
    const host::Polygon& p = polys[i];
    bool ok = true;
    for (int k = 0; k < 4 && ok; ++k)
      ok = p.corner(k) >= 0 && p.corner(k) < np && finite(pts[p.corner(k)]);
    validPolygon_[static_cast<size_t>(i)] = ok;
  }
  // About two polygons a cell on a surface: the cell edge follows the mean polygon size.
  const host::Vector ext = hi - lo;
  const double e[3] = {ext.x, ext.y, ext.z};
  origin_ = lo;
  auto sizeCells = [&] {
    for (int k = 0; k < 3; ++k) dims_[k] = cellsAlong(e[k], cell_);
  };
  if (std::isfinite(ext.x) && std::isfinite(ext.y) && std::isfinite(ext.z)) {
    const double maxExt = std::max({ext.x, ext.y, ext.z, 1e-9});
    double area = ext.x * ext.y + ext.y * ext.z + ext.z * ext.x;
    if (!(area > 0) || !std::isfinite(area)) area = maxExt * maxExt;
    cell_ = std::max(std::sqrt(area / std::max(nq, 1)) * 1.5, maxExt / 1024.0);
    if (!std::isfinite(cell_)) cell_ = std::numeric_limits<double>::max();
    sizeCells();
    while (int64_t{dims_[0]} * dims_[1] * dims_[2] > kMaxCells) {
      cell_ *= 1.5;
      sizeCells();
    }
    // Each polygon goes into every cell its box covers: the cells grow until the entries stay in
    // proportion to the mesh, however much its polygons overlap.
    const int64_t budget = std::max<int64_t>(int64_t{16} * nq, int64_t{1} << 20);
    int32_t from[3], to[3];
    while (int64_t{dims_[0]} * dims_[1] * dims_[2] > 1) {
      int64_t entries = 0;
      for (int32_t i = 0; i < nq && entries <= budget; ++i) {
        if (!validPolygon_[static_cast<size_t>(i)]) continue;
        polygonCells(pts, polys[i], from, to);
        entries += int64_t{to[0] - from[0] + 1} * (to[1] - from[1] + 1) * (to[2] - from[2] + 1);
      }
      if (entries <= budget) break;
      cell_ *= 2;
      sizeCells();
    }
  } else {
    // Points so far apart that their distance overflows: one cell holds the whole mesh.
    cell_ = std::numeric_limits<double>::max();
    dims_[0] = dims_[1] = dims_[2] = 1;
  }
  cells_.resize(static_cast<size_t>(int64_t{dims_[0]} * dims_[1] * dims_[2]));
  int32_t from[3], to[3];
  for (int32_t i = 0; i < np; ++i) {
    if (!finite(pts[i])) continue;
    cellRange(pts[i], pts[i], from, to);
    cells_[static_cast<size_t>(cellIndex(from[0], from[1], from[2]))].points.push_back(i);
  }
  for (int32_t i = 0; i < nq; ++i) {
    if (!validPolygon_[static_cast<size_t>(i)]) continue;
    polygonCells(pts, polys[i], from, to);
    for (int32_t z = from[2]; z <= to[2]; ++z)
      for (int32_t y = from[1]; y <= to[1]; ++y)
        for (int32_t x = from[0]; x <= to[0]; ++x)
          cells_[static_cast<size_t>(cellIndex(x, y, z))].polygons.push_back(i);
  }
}

void SpatialGrid::polygonCells(const host::Vector* pts, const host::Polygon& p, int32_t from[3],
                               int32_t to[3]) const {
  host::Vector lo = pts[p.a], hi = pts[p.a];
  for (int k = 1; k < 4; ++k) {
    lo = vmin(lo, pts[p.corner(k)]);
    hi = vmax(hi, pts[p.corner(k)]);
  }
  cellRange(lo, hi, from, to);
}

void SpatialGrid::cellRange(const host::Vector& lo, const host::Vector& hi, int32_t from[3],
                            int32_t to[3]) const {
  const double l[3] = {lo.x - origin_.x, lo.y - origin_.y, lo.z - origin_.z};
  const double h[3] = {hi.x - origin_.x, hi.y - origin_.y, hi.z - origin_.z};
  for (int k = 0; k < 3; ++k) {
    from[k] = cellOf(l[k], cell_, dims_[k]);
    to[k] = cellOf(h[k], cell_, dims_[k]);
  }
}

void SpatialGrid::pointsInSphere(const host::Vector& c, double r, std::vector<int32_t>& out) const {
  out.clear();
  if (cells_.empty() || !(r >= 0) || !finite(c)) return;
  int32_t from[3], to[3];
  const host::Vector rv(r, r, r);
  cellRange(c - rv, c + rv, from, to);
  const host::Vector* pts = obj_->points();
  const double r2 = r * r;
  for (int32_t z = from[2]; z <= to[2]; ++z)
    for (int32_t y = from[1]; y <= to[1]; ++y)
      for (int32_t x = from[0]; x <= to[0]; ++x)
        for (int32_t i : cells_[static_cast<size_t>(cellIndex(x, y, z))].points) {
          const host::Vector d = pts[i] - c;
          if (host::dot(d, d) <= r2) out.push_back(i);
        }
}

double SpatialGrid::polygonDistance(int32_t i, const host::Vector& p, host::Vector& closest,
                                    host::Vector& normal) const {
  const host::Vector* pts = obj_->points();
  const host::Polygon& q = obj_->polygons()[i];
  double best = std::numeric_limits<double>::infinity();
  const int tris = q.isTriangle() ? 1 : 2;
  for (int t = 0; t < tris; ++t) {
    const host::Vector& a = pts[q.a];
    const host::Vector& b = pts[t == 0 ? q.b : q.c];
    const host::Vector& c = pts[t == 0 ? q.c : q.d];
    const host::Vector x = closestOnTriangle(p, a, b, c);
    const double d = host::length(x - p);
    if (d < best) {
      best = d;
      closest = x;
      normal = host::normalize(host::cross(b - a, c - a));
    }
  }
  return best;
}

void SpatialGrid::polygonsInSphere(const host::Vector& c, double r,
                                   std::vector<int32_t>& out) const {
  out.clear();
  if (cells_.empty() || !(r >= 0) || !finite(c)) return;
  ++query_;
  int32_t from[3], to[3];
  const host::Vector rv(r, r, r);
  cellRange(c - rv, c + rv, from, to);
  host::Vector closest, normal;
  for (int32_t z = from[2]; z <= to[2]; ++z)
    for (int32_t y = from[1]; y <= to[1]; ++y)
      for (int32_t x = from[0]; x <= to[0]; ++x)
        for (int32_t i : cells_[static_cast<size_t>(cellIndex(x, y, z))].polygons) {
          if (stamp_[static_cast<size_t>(i)] == query_) continue;
          stamp_[static_cast<size_t>(i)] = query_;
          if (polygonDistance(i, c, closest, normal) <= r) out.push_back(i);
        }
  std::sort(out.begin(), out.end());
}

bool SpatialGrid::closestSurface(const host::Vector& p, double maxDistance, SurfaceHit& hit) const {
  if (cells_.empty() || !finite(p)) return false;
  // Grow the search until something is found or the limit (or the whole grid) is passed.
  const double span = cell_ * (dims_[0] + dims_[1] + dims_[2]);
  maxDistance = std::min(maxDistance, span + host::length(p - origin_));
  // Nothing lies nearer than the grid's box: a point far outside starts its search there
  // instead of doubling its way out from one cell, and one beyond the limit finds nothing.
  const double o[3] = {origin_.x, origin_.y, origin_.z}, q[3] = {p.x, p.y, p.z};
  double outside = 0;
  for (int k = 0; k < 3; ++k) {
    const double d = std::max({o[k] - q[k], 0.0, q[k] - (o[k] + dims_[k] * cell_)});
    outside += d * d;
  }
  outside = std::sqrt(outside);
  if (outside > maxDistance) return false;
  for (double r = std::max(cell_, outside);; r *= 2) {
    std::vector<int32_t> candidates;
    polygonsInSphere(p, std::min(r, maxDistance), candidates);
    double best = std::numeric_limits<double>::infinity();
    for (int32_t i : candidates) {
      host::Vector closest, normal;
      const double d = polygonDistance(i, p, closest, normal);
      if (d < best) {
        best = d;
        hit = {i, closest, normal, d};
      }
    }
    if (best < std::numeric_limits<double>::infinity()) return true;
    if (r >= maxDistance) return false;
  }
}

bool SpatialGrid::raycast(const host::Vector& origin, const host::Vector& dir,
                          SurfaceHit& hit) const {
  if (cells_.empty() || !finite(origin) || !finite(dir) || host::dot(dir, dir) == 0) return false;
  const host::Vector d = host::normalize(dir);
  // Clip the ray to the grid box, then walk its cells in order (3D DDA).
  const double lo[3] = {origin_.x, origin_.y, origin_.z};
  const double o[3] = {origin.x, origin.y, origin.z}, v[3] = {d.x, d.y, d.z};
  double t0 = 0, t1 = std::numeric_limits<double>::infinity();
  for (int k = 0; k < 3; ++k) {
    const double a = lo[k], b = lo[k] + dims_[k] * cell_;
    if (std::abs(v[k]) < 1e-300) {
      if (o[k] < a || o[k] > b) return false;
      continue;
    }
    double ta = (a - o[k]) / v[k], tb = (b - o[k]) / v[k];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
  }
  if (t0 > t1) return false;
  int32_t cell[3], step[3];
  double tMax[3], tDelta[3];
  for (int k = 0; k < 3; ++k) {
    const double p = o[k] + v[k] * t0 - lo[k];
    cell[k] = cellOf(p, cell_, dims_[k]);
    step[k] = v[k] > 0 ? 1 : -1;
    const double boundary = (cell[k] + (v[k] > 0 ? 1 : 0)) * cell_ + lo[k];
    tMax[k] = std::abs(v[k]) < 1e-300 ? std::numeric_limits<double>::infinity()
                                      : (boundary - o[k]) / v[k];
    tDelta[k] =
        std::abs(v[k]) < 1e-300 ? std::numeric_limits<double>::infinity() : cell_ / std::abs(v[k]);
  }
  ++query_;
  const host::Vector* pts = obj_->points();
  double best = std::numeric_limits<double>::infinity();
  while (true) {
    for (int32_t i : cells_[static_cast<size_t>(cellIndex(cell[0], cell[1], cell[2]))].polygons) {
      if (stamp_[static_cast<size_t>(i)] == query_) continue;
      stamp_[static_cast<size_t>(i)] = query_;
      const host::Polygon& q = obj_->polygons()[i];
      for (int t = 0; t < (q.isTriangle() ? 1 : 2); ++t) {
        const host::Vector& a = pts[q.a];
        const host::Vector& b = pts[t == 0 ? q.b : q.c];
        const host::Vector& c = pts[t == 0 ? q.c : q.d];
        double th;
        if (rayTriangle(origin, d, a, b, c, th) && th < best) {
          best = th;
          hit = {i, origin + d * th, host::normalize(host::cross(b - a, c - a)), th};
        }
      }
    }
    // A hit inside the cells walked so far cannot be beaten by a later cell.
    const int k = tMax[0] < tMax[1] ? (tMax[0] < tMax[2] ? 0 : 2) : (tMax[1] < tMax[2] ? 1 : 2);
    if (best <= tMax[k]) break;
    cell[k] += step[k];
    if (cell[k] < 0 || cell[k] >= dims_[k]) break;
    tMax[k] += tDelta[k];
  }
  return best < std::numeric_limits<double>::infinity();
}

}  // namespace hostapp
