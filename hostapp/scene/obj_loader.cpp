#include "hostapp/scene/obj_loader.h"

// The Debian library is built with double-precision coordinates under this switch.
#define TINYOBJLOADER_USE_DOUBLE
#include <tiny_obj_loader.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "hostapp/core/local_file.h"

namespace hostapp {

namespace {

// The first face index (vertex, texture or normal) whose value an int cannot hold, or 0.
long long oversizedFaceIndex(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != 'f' || i + 1 >= line.size() ||
        (line[i + 1] != ' ' && line[i + 1] != '\t'))
      continue;
    const char* p = line.c_str() + i + 1;
    while (*p) {
      if (*p == '-' || (*p >= '0' && *p <= '9')) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(p, &end, 10);
        if (errno == ERANGE || v > 2147483647LL || v < -2147483647LL) return v ? v : 1;
        p = end > p ? end : p + 1;
      } else {
        ++p;
      }
    }
  }
  return 0;
}

host::Vector uvAt(const tinyobj::attrib_t& attrib, int index) {
  const size_t i = static_cast<size_t>(index) * 2;
  return {attrib.texcoords[i], 1.0 - attrib.texcoords[i + 1], 0.0};
}
}  // namespace

bool loadObjMesh(const std::string& path, MeshData& mesh, std::string& error) {
  const std::string problem = inputFileProblem(path);
  if (!problem.empty()) {
    error = "The mesh file " + path + " " + problem + ".";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (!in) {
    error = "The mesh file " + path + " could not be read.";
    return false;
  }
  const std::string text = buffer.str();
  if (const long long index = oversizedFaceIndex(text)) {
    error = "The mesh file " + path + " has a face index, " + std::to_string(index) +
            ", beyond any mesh this program can hold.";
    return false;
  }
  tinyobj::ObjReaderConfig config;
  config.triangulate = false;
  config.vertex_color = false;
  tinyobj::ObjReader reader;
  // Painting needs no materials: the mesh is read from its text with an empty material library,
  // so that no "mtllib" line ever opens a file.
  if (!reader.ParseFromString(text, std::string(), config)) {
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
