// Feeds arbitrary bytes to the OBJ loader as a mesh file, then builds the stroke engine's spatial
// grid over what it read and asks it what lies near and along a few probes. A mesh is read or
// refused with a sentence; nothing is opened beside it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/obj_loader.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/sculpt/spatial_grid.h"

namespace {

hostapp::EmbeddedHost* startHost() {
  static hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) std::abort();
  return &host;
}

std::string scratchFile() {
  return "/tmp/pigmora_obj_fuzz_" + std::to_string(getpid()) + ".obj";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static hostapp::EmbeddedHost* host = startHost();
  static const std::string path = scratchFile();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    std::abort();
  }
  hostapp::MeshData mesh;
  std::string error;
  if (!hostapp::loadObjMesh(path, mesh, error)) {
    if (error.empty() || error.back() != '.') std::abort();  // one sentence
    return 0;
  }
  for (const host::Polygon& p : mesh.polygons)
    for (int k = 0; k < 4; ++k)
      if (p.corner(k) < 0 || static_cast<size_t>(p.corner(k)) >= mesh.points.size()) std::abort();
  if (mesh.uvs.size() != mesh.polygons.size()) std::abort();
  hostapp::DocumentImpl* doc = host->sceneImpl().newDocument();
  {
    hostapp::SceneBuilder builder(*host, doc);
    if (host::PolygonObject* obj = builder.addMesh("Mesh", mesh)) {
      hostapp::SpatialGrid grid;
      grid.build(*obj);
      std::vector<int32_t> found;
      const host::Vector probe = mesh.points.empty() ? host::Vector() : mesh.points[0];
      grid.polygonsInSphere(probe, 1.0, found);
      grid.pointsInSphere(probe, 10.0, found);
      hostapp::SurfaceHit hit;
      grid.closestSurface(probe + host::Vector(0, 0, 5), 100.0, hit);
      grid.raycast(probe + host::Vector(0, 0, -100), host::Vector(0, 0, 1), hit);
    }
  }
  host->sceneImpl().closeDocument(doc);
  return 0;
}
