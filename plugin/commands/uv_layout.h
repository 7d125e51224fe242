// Re-laying a group of polygons' UVs so that they fill one texture square (or UDIM tile), with a
// margin of ten texels of the new texture on each side.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "host/values.h"

namespace pigmora {

struct UVScale {
  double su = 1.0, sv = 1.0;  // the spans the UVs are divided by
  double uc = 0.0, vc = 0.0;  // the centre of the bounds
};

struct UVBounds {
  double umin = 1e100, umax = -1e100, vmin = 1e100, vmax = -1e100;

  void add(const host::UVWPolygon& uv) {
    for (int k = 0; k < 4; ++k) {
      const host::Vector& p = uv.corner(k);
      umin = std::min(umin, p.x);
      umax = std::max(umax, p.x);
      vmin = std::min(vmin, p.y);
      vmax = std::max(vmax, p.y);
    }
  }
  // The spans with a margin of 10 / size on each side, the margin taken in single precision.
  // False when a span is 0 or not a finite number (or the size is below 1): nothing can fill.
  bool scaleFor(int32_t size, UVScale& out) const {
    if (size < 1) return false;
    const float margin = 10.0f / static_cast<float>(size);
    out.su = umax - umin + 2.0 * margin;
    out.sv = vmax - vmin + 2.0 * margin;
    out.uc = (umin + umax) / 2.0;
    out.vc = (vmin + vmax) / 2.0;
    return out.su != 0.0 && out.sv != 0.0 && std::isfinite(out.su) && std::isfinite(out.sv);
  }
  // The polygon's UVs moved into the square; `turned` turns them by 180 degrees about its centre.
  // The offsets move the square to a UDIM tile; w becomes 0.
  static host::UVWPolygon fill(host::UVWPolygon uv, const UVScale& s, bool turned, double offU,
                               double offV) {
    const double sign = turned ? -1.0 : 1.0;
    for (int k = 0; k < 4; ++k) {
      host::Vector& p = uv.corner(k);
      p = {0.5 + sign * (p.x - s.uc) / s.su + offU, 0.5 + sign * (p.y - s.vc) / s.sv + offV, 0.0};
    }
    return uv;
  }
};

}  // namespace pigmora
