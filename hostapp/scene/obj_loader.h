// Wavefront OBJ meshes for painting: points, polygons and the UVs every polygon needs.
#pragma once

#include <string>

#include "hostapp/scene/scene_builder.h"

namespace hostapp {

// Reads an OBJ file into a mesh. All groups become one mesh; triangles and quads are kept, and
// larger polygons are split into a fan of triangles. OBJ texture coordinates count v from the
// bottom of the image; the mesh's UVs count it from the top row, as the paint textures do. OBJ
// files are right-handed and the scene is left-handed: z is mirrored and the corner order turned.
// A file without texture coordinates on every face is refused, since nothing could be painted.
// False with `error` set to one sentence naming the file on failure.
bool loadObjMesh(const std::string& path, MeshData& mesh, std::string& error);

}  // namespace hostapp
