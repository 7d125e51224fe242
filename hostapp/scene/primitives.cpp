#include "hostapp/scene/primitives.h"

#include <algorithm>
#include <cmath>

namespace hostapp {

MeshData uvSphere(int32_t segments, int32_t rings, double radius) {
  MeshData m;
  segments = std::max(segments, 3);
  rings = std::max(rings, 2);
  // Points: the south pole, rings - 1 rings of `segments` points, the north pole.
  m.points.push_back({0, -radius, 0});
  for (int32_t r = 1; r < rings; ++r) {
    const double lat = -M_PI / 2 + M_PI * r / rings;
    for (int32_t s = 0; s < segments; ++s) {
      const double lon = 2 * M_PI * s / segments;
      m.points.push_back({radius * std::cos(lat) * std::cos(lon), radius * std::sin(lat),
                          -radius * std::cos(lat) * std::sin(lon)});
    }
  }
  m.points.push_back({0, radius, 0});
  const int32_t south = 0, north = static_cast<int32_t>(m.points.size()) - 1;
  auto at = [segments](int32_t ring, int32_t s) {
    return 1 + (ring - 1) * segments + s % segments;
  };
  auto uv = [segments, rings](int32_t s, int32_t ring) {
    return host::Vector(double(s) / segments, double(ring) / rings, 0);
  };
  for (int32_t r = 0; r < rings; ++r) {
    for (int32_t s = 0; s < segments; ++s) {
      // Corners counter-clockwise seen from outside.
      if (r == 0) {
        m.polygons.push_back({south, at(1, s + 1), at(1, s), at(1, s)});
        const host::Vector pole((s + 0.5) / segments, 0, 0);
        m.uvs.push_back({pole, uv(s + 1, 1), uv(s, 1), uv(s, 1)});
      } else if (r == rings - 1) {
        m.polygons.push_back({at(r, s), at(r, s + 1), north, north});
        const host::Vector pole((s + 0.5) / segments, 1, 0);
        m.uvs.push_back({uv(s, r), uv(s + 1, r), pole, pole});
      } else {
        m.polygons.push_back({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
        m.uvs.push_back({uv(s, r), uv(s + 1, r), uv(s + 1, r + 1), uv(s, r + 1)});
      }
    }
  }
  return m;
}

MeshData uvBox(double sx, double sy, double sz) {
  MeshData m;
  const double x = sx / 2, y = sy / 2, z = sz / 2;
  // Eight corners; faces share them in 3D but each has its own UV island.
  const host::Vector c[8] = {{-x, -y, -z}, {x, -y, -z}, {x, y, -z}, {-x, y, -z},
                             {-x, -y, z},  {x, -y, z},  {x, y, z},  {-x, y, z}};
  m.points.assign(c, c + 8);
  const int32_t faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                               {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
  const double margin = 0.02;
  for (int32_t f = 0; f < 6; ++f) {
    m.polygons.push_back({faces[f][0], faces[f][1], faces[f][2], faces[f][3]});
    const double u0 = (f % 3) / 3.0 + margin, u1 = (f % 3 + 1) / 3.0 - margin;
    const double v0 = (f / 3) / 2.0 + margin, v1 = (f / 3 + 1) / 2.0 - margin;
    m.uvs.push_back({{u0, v0, 0}, {u0, v1, 0}, {u1, v1, 0}, {u1, v0, 0}});
  }
  return m;
}

}  // namespace hostapp
