// Meshes generated in code, with real UV layouts.
#pragma once

#include "hostapp/scene/scene_builder.h"

namespace hostapp {

// A UV sphere of `segments` around and `rings` from pole to pole. The UVs unwrap it onto the
// whole texture square with one seam along u = 0 / u = 1; v runs from 0 at the south pole to 1
// at the north pole. Pole polygons are triangles.
MeshData uvSphere(int32_t segments, int32_t rings, double radius);

// A box of the given size centred on the origin, each face its own UV island, laid out in a
// 3 x 2 grid of the texture square with a margin around each island.
MeshData uvBox(double sx, double sy, double sz);

}  // namespace hostapp
