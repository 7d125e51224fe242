// Records shared by the triangle set-up and the rasterisers.
#pragma once

#include <cstdint>

namespace pigmora {

// One triangle of a polygon laid onto one channel bitmap.
struct RasterTriangle {
  struct Vertex {
    float x = 0.f, y = 0.f;    // pixel position: clamped UV times the bitmap size, v not flipped
    float sx = 0.f, sy = 0.f;  // position in the stamp or stencil bitmap
    double px = 0.0, py = 0.0, pz = 0.0;  // surface position of the polygon point
  };
  Vertex v[3];
};

constexpr int32_t kFalloffEntries = 65536;

// The brush falloff curve sampled over the squared normalised distance (d / r)^2.
struct FalloffTable {
  float f[kFalloffEntries] = {};
  float scale = 1.0f;  // kFalloffEntries / r^2 once built
  float radius = 0.0f;
  float radius2 = 0.0f;
  float centre[3] = {0.f, 0.f, 0.f};
  int32_t enabled = 0;
};

}  // namespace pigmora
