// Meshes of many UV islands for the benchmarks.
#pragma once

#include "hostapp/scene/scene_builder.h"

// n x n square islands of q x q quads covering about 60 % of the texture square; each island's
// UVs are its own, so the seams between islands are real.
inline hostapp::MeshData islandLayout(int n, int q) {
  hostapp::MeshData mesh;
  const double cell = 1.0 / n, side = cell * 0.775;  // 0.775^2 = 0.6
  const int per = q + 1;
  for (int iy = 0; iy < n; ++iy)
    for (int ix = 0; ix < n; ++ix) {
      const int32_t base = static_cast<int32_t>(mesh.points.size());
      const double u0 = ix * cell + (cell - side) / 2, v0 = iy * cell + (cell - side) / 2;
      for (int j = 0; j <= q; ++j)
        for (int i = 0; i <= q; ++i)
          mesh.points.push_back({u0 + side * i / q, v0 + side * j / q, 0});
      for (int j = 0; j < q; ++j)
        for (int i = 0; i < q; ++i) {
          auto at = [&](int a, int b) { return base + b * per + a; };
          mesh.polygons.push_back({at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)});
          auto uv = [&](int a, int b) { return mesh.points[static_cast<size_t>(at(a, b))]; };
          mesh.uvs.push_back({uv(i, j), uv(i, j + 1), uv(i + 1, j + 1), uv(i + 1, j)});
        }
    }
  return mesh;
}
