// Building scenes in code: polygon objects with UVs, materials with paint textures, tags. The
// command line and the tests build their scenes with these.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace hostapp {

class EmbeddedHost;

struct MeshData {
  std::vector<host::Vector> points;
  std::vector<host::Polygon> polygons;
  std::vector<host::UVWPolygon> uvs;  // one per polygon; empty for no UVW tag
};

// A grid of nx x ny quads spanning [0, size] in x and y at z = 0, with UVs filling 0..1.
MeshData gridMesh(int32_t nx, int32_t ny, double size);

class SceneBuilder {
 public:
  SceneBuilder(EmbeddedHost& host, host::Document* doc);

  // Inserts a polygon object at top level (or under parent) with a UVW tag when the mesh has UVs.
  host::PolygonObject* addMesh(const std::string& name, const MeshData& mesh,
                               host::Object* parent = nullptr);
  host::Material* addMaterial(const std::string& name);
  // Enables the channel, links it to a file named after material and channel, and opens a paint
  // texture of the given size and colour mode, filled with fill (components 0 .. 255) or
  // transparent when fill is null.
  host::PaintTexture* addTexture(host::Material* mat, int32_t channel, int32_t width,
                                 int32_t height, int32_t mode, const host::Vector* fill = nullptr);
  host::TextureTag* addTextureTag(host::Object* obj, host::Material* mat,
                                  const std::string& restriction = "");
  host::SelectionTag* addSelectionTag(host::Object* obj, const std::string& name,
                                      const std::vector<int32_t>& polygons);

 private:
  EmbeddedHost& host_;
  host::Document* doc_;
};

}  // namespace hostapp
