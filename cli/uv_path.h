// Strokes drawn in UV space: a path over the texture square carried onto the mesh surface.
#pragma once

#include <vector>

#include "host/host.h"

namespace pigmora::cli {

// The world-space surface points under a UV path (u, v in x, y), sampled finely enough that the
// stroke follows the surface between the given points. Parts of the path that lie on no polygon's
// UVs are left out. Where UV islands overlap, the first polygon found is taken.
std::vector<host::Vector> uvPathToSurface(const host::PolygonObject& obj,
                                          const std::vector<host::Vector>& uvPath);

}  // namespace pigmora::cli
