// A uniform grid over a polygon object's points and polygons: the stroke engine finds what lies
// under a dab, and where a ray meets the surface, without scanning the mesh.
#pragma once

#include <cstdint>
#include <vector>

#include "host/scene.h"

namespace hostapp {

struct SurfaceHit {
  int32_t polygon = -1;
  host::Vector point;   // object space
  host::Vector normal;  // unit normal of the triangle hit
  double distance = 0;  // along the ray, or from the query point
};

class SpatialGrid {
 public:
  // Indexes the object's points and valid polygons; polygons with point indices out of range or
  // with non-finite points are left out.
  void build(const host::PolygonObject& obj);
  bool empty() const { return cells_.empty(); }

  // Indices of the points within r of c.
  void pointsInSphere(const host::Vector& c, double r, std::vector<int32_t>& out) const;
  // Indices of the polygons whose surface comes within r of c, ascending.
  void polygonsInSphere(const host::Vector& c, double r, std::vector<int32_t>& out) const;
  // The nearest surface point to p, searched out to maxDistance.
  bool closestSurface(const host::Vector& p, double maxDistance, SurfaceHit& hit) const;
  // The first surface point along the ray.
  bool raycast(const host::Vector& origin, const host::Vector& dir, SurfaceHit& hit) const;

  // Distance from p to polygon i's surface, and the closest point on it.
  double polygonDistance(int32_t i, const host::Vector& p, host::Vector& closest,
                         host::Vector& normal) const;

 private:
  struct Cell {
    std::vector<int32_t> points, polygons;
  };
  int64_t cellIndex(int32_t x, int32_t y, int32_t z) const {
    return (int64_t{z} * dims_[1] + y) * dims_[0] + x;
  }
  // The cells the bounding box of polygon `p` covers.
  void polygonCells(const host::Vector* pts, const host::Polygon& p, int32_t from[3],
                    int32_t to[3]) const;
  void cellRange(const host::Vector& lo, const host::Vector& hi, int32_t from[3],
                 int32_t to[3]) const;

  const host::PolygonObject* obj_ = nullptr;
  host::Vector origin_;
  double cell_ = 1.0;
  int32_t dims_[3] = {0, 0, 0};
  std::vector<Cell> cells_;
  std::vector<uint8_t> validPolygon_;
  mutable std::vector<uint32_t> stamp_;  // per polygon: last query that reported it
  mutable uint32_t query_ = 0;
};

// The closest point on triangle (a, b, c) to p.
host::Vector closestOnTriangle(const host::Vector& p, const host::Vector& a, const host::Vector& b,
                               const host::Vector& c);
// Ray-triangle intersection; t along the ray on a hit.
bool rayTriangle(const host::Vector& o, const host::Vector& d, const host::Vector& a,
                 const host::Vector& b, const host::Vector& c, double& t);

}  // namespace hostapp
