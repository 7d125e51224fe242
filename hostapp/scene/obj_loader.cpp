#include "hostapp/scene/obj_loader.h"

// The Debian library is built with double-precision coordinates under this switch.
#define TINYOBJLOADER_USE_DOUBLE
#include <tiny_obj_loader.h>

#include <filesystem>

namespace hostapp {

namespace {
host::Vector uvAt(const tinyobj::attrib_t& attrib, int index) {
  const size_t i = static_cast<size_t>(index) * 2;
  return {attrib.texcoords[i], 1.0 - attrib.texcoords[i + 1], 0.0};
}
}  // namespace

bool loadObjMesh(const std::string& path, MeshData& mesh, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    error = "The mesh file " + path + " does not exist.";
    return false;
  }
  tinyobj::ObjReaderConfig config;
  config.triangulate = false;
  config.vertex_color = false;
  config.mtl_search_path = "";
  tinyobj::ObjReader reader;
  if (!reader.ParseFromFile(path, config)) {
    std::string why = reader.Error();
    while (!why.empty() && (why.back() == '\n' || why.back() == '.')) why.pop_back();
    error = "The mesh file " + path + " could not be read" + (why.empty() ? "" : ": " + why) + ".";
    return false;
  }
  const tinyobj::attrib_t& attrib = reader.GetAttrib();
  mesh = MeshData();
  const size_t pointCount = attrib.vertices.size() / 3;
  for (size_t i = 0; i < pointCount; ++i)
    mesh.points.push_back(
        {attrib.vertices[3 * i], attrib.vertices[3 * i + 1], -attrib.vertices[3 * i + 2]});
  const size_t uvCount = attrib.texcoords.size() / 2;
  for (const tinyobj::shape_t& shape : reader.GetShapes()) {
    size_t offset = 0;
    for (const unsigned int corners : shape.mesh.num_face_vertices) {
      const tinyobj::index_t* idx = &shape.mesh.indices[offset];
      offset += corners;
      if (corners < 3) continue;  // points and lines carry no surface
      for (unsigned int k = 0; k < corners; ++k) {
        if (idx[k].texcoord_index < 0 || static_cast<size_t>(idx[k].texcoord_index) >= uvCount) {
          error = "The mesh file " + path +
                  " has faces without texture coordinates, and a mesh without UVs cannot be "
                  "painted.";
          return false;
        }
        if (idx[k].vertex_index < 0 || static_cast<size_t>(idx[k].vertex_index) >= pointCount) {
          error = "The mesh file " + path + " has a face that uses a point it does not define.";
          return false;
        }
      }
      // Mirrored in z, the corners run the other way round to keep the faces pointing outwards.
      auto addPolygon = [&](unsigned a, unsigned b, unsigned c, unsigned d) {
        mesh.polygons.push_back(
            {idx[a].vertex_index, idx[b].vertex_index, idx[c].vertex_index, idx[d].vertex_index});
        mesh.uvs.push_back(
            {uvAt(attrib, idx[a].texcoord_index), uvAt(attrib, idx[b].texcoord_index),
             uvAt(attrib, idx[c].texcoord_index), uvAt(attrib, idx[d].texcoord_index)});
      };
      if (corners == 3) {
        addPolygon(0, 2, 1, 1);
      } else if (corners == 4) {
        addPolygon(0, 3, 2, 1);
      } else {
        for (unsigned int k = 1; k + 1 < corners; ++k) addPolygon(0, k + 1, k, k);
      }
    }
  }
  if (mesh.polygons.empty()) {
    error = "The mesh file " + path + " has no faces.";
    return false;
  }
  return true;
}

}  // namespace hostapp
