#include "cli/uv_path.h"

#include <algorithm>
#include <cmath>

namespace pigmora::cli {

namespace {

constexpr int32_t kCells = 64;
constexpr double kStep = 1.0 / 1024.0;

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
    cells_.resize(kCells * kCells);
    if (!uvw_) return;
    for (int32_t i = 0; i < obj.polygonCount(); ++i) {
      const host::UVWPolygon uv = uvw_->get(i);
      double u0 = 1e300, v0 = 1e300, u1 = -1e300, v1 = -1e300;
      for (int k = 0; k < 4; ++k) {
        u0 = std::min(u0, uv.corner(k).x);
        u1 = std::max(u1, uv.corner(k).x);
        v0 = std::min(v0, uv.corner(k).y);
        v1 = std::max(v1, uv.corner(k).y);
      }
      for (int32_t cy = cell(v0); cy <= cell(v1); ++cy)
        for (int32_t cx = cell(u0); cx <= cell(u1); ++cx) cells_[cy * kCells + cx].push_back(i);
    }
  }

  // The object-space point at a UV position.
  bool locate(const host::Vector& uvPoint, host::Vector& out) const {
    if (!uvw_) return false;
    const host::Polygon* polys = obj_.polygons();
    const host::Vector* points = obj_.points();
    for (int32_t i : cells_[cell(uvPoint.y) * kCells + cell(uvPoint.x)]) {
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
  static int32_t cell(double t) {
    return std::clamp(static_cast<int32_t>(std::floor(t * kCells)), 0, kCells - 1);
  }
  const host::PolygonObject& obj_;
  host::UVWTag* uvw_ = nullptr;
  std::vector<std::vector<int32_t>> cells_;
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
  add(uvPath[0]);
  for (size_t i = 1; i < uvPath.size(); ++i) {
    const host::Vector a = uvPath[i - 1], b = uvPath[i];
    const int32_t steps =
        std::clamp(static_cast<int32_t>(std::ceil(host::length(b - a) / kStep)), 1, 1 << 20);
    for (int32_t s = 1; s <= steps; ++s) add(a + (b - a) * (static_cast<double>(s) / steps));
  }
  return out;
}

}  // namespace pigmora::cli
