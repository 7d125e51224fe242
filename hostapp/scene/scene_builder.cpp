#include "hostapp/scene/scene_builder.h"

#include <memory>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"

namespace hostapp {

MeshData gridMesh(int32_t nx, int32_t ny, double size) {
  MeshData m;
  for (int32_t j = 0; j <= ny; ++j)
    for (int32_t i = 0; i <= nx; ++i) m.points.push_back({size * i / nx, size * j / ny, 0.0});
  auto at = [nx](int32_t i, int32_t j) { return j * (nx + 1) + i; };
  for (int32_t j = 0; j < ny; ++j) {
    for (int32_t i = 0; i < nx; ++i) {
      m.polygons.push_back({at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)});
      const double u0 = double(i) / nx, u1 = double(i + 1) / nx;
      const double v0 = double(j) / ny, v1 = double(j + 1) / ny;
      m.uvs.push_back({{u0, v0, 0}, {u0, v1, 0}, {u1, v1, 0}, {u1, v0, 0}});
    }
  }
  return m;
}

SceneBuilder::SceneBuilder(EmbeddedHost& host, host::Document* doc) : host_(host), doc_(doc) {}

host::PolygonObject* SceneBuilder::addMesh(const std::string& name, const MeshData& mesh,
                                           host::Object* parent) {
  // Owned here until the document takes it: filling it in may run out of memory.
  std::unique_ptr<host::PolygonObject> obj(
      static_cast<host::PolygonObject*>(host_.scene().createObject(host::kTypePolygonObject)));
  if (!obj) return nullptr;
  obj->setName(name);
  obj->resize(static_cast<int32_t>(mesh.points.size()), static_cast<int32_t>(mesh.polygons.size()));
  std::copy(mesh.points.begin(), mesh.points.end(), obj->writablePoints());
  std::copy(mesh.polygons.begin(), mesh.polygons.end(), obj->writablePolygons());
  if (!mesh.uvs.empty()) {
    auto* uvw = static_cast<host::UVWTag*>(obj->makeTag(host::kTypeUVWTag, nullptr));
    if (!uvw) return nullptr;
    uvw->resize(static_cast<int32_t>(mesh.uvs.size()));
    for (size_t i = 0; i < mesh.uvs.size(); ++i) uvw->set(static_cast<int32_t>(i), mesh.uvs[i]);
  }
  doc_->insertObject(obj.get(), parent, nullptr);
  return obj.release();
}

host::Material* SceneBuilder::addMaterial(const std::string& name) {
  host::Material* mat = host_.scene().createMaterial(host::kTypeMaterial);
  if (!mat) return nullptr;
  mat->setName(name);
  host::Material* last = doc_->firstMaterial();
  while (last && last->next()) last = last->next();
  doc_->insertMaterial(mat, last);
  return mat;
}

host::PaintTexture* SceneBuilder::addTexture(host::Material* mat, int32_t channel, int32_t width,
                                             int32_t height, int32_t mode,
                                             const host::Vector* fill) {
  if (!mat) return nullptr;
  mat->enableChannel(channel, true);
  host::Channel* ch = mat->channel(channel);
  if (!ch) return nullptr;
  const std::string file = mat->name() + "_" + std::to_string(channel) + ".tif";
  ch->data().setFilename(host::kChannelFile, file);
  ch->data().setFilename(host::kChannelDirectory, doc_->data().getFilename(host::kDocPath));
  host::Settings settings;
  settings.setInt32(host::kNewTexFormat, host::kFormatTIFF);
  settings.setInt32(host::kNewTexWidth, width);
  settings.setInt32(host::kNewTexHeight, height);
  settings.setInt32(host::kNewTexColorMode, mode);
  if (fill) {
    settings.setInt32(host::kNewTexFillStyle, host::kFillStyleColor);
    settings.setVector(host::kNewTexFillColor, *fill);
  }
  const std::string dir = doc_->data().getFilename(host::kDocPath);
  return host_.paintImpl().openNewTexture(doc_, dir.empty() ? file : dir + "/" + file, settings);
}

host::TextureTag* SceneBuilder::addTextureTag(host::Object* obj, host::Material* mat,
                                              const std::string& restriction) {
  host::Tag* last = obj->tagCount() ? obj->tagAt(obj->tagCount() - 1) : nullptr;
  auto* tag = static_cast<host::TextureTag*>(obj->makeTag(host::kTypeTextureTag, last));
  if (!tag) return nullptr;
  tag->setMaterial(mat);
  tag->data().setString(host::kTexRestriction, restriction);
  return tag;
}

host::SelectionTag* SceneBuilder::addSelectionTag(host::Object* obj, const std::string& name,
                                                  const std::vector<int32_t>& polygons) {
  host::Tag* last = obj->tagCount() ? obj->tagAt(obj->tagCount() - 1) : nullptr;
  auto* tag = static_cast<host::SelectionTag*>(obj->makeTag(host::kTypePolygonSelectionTag, last));
  if (!tag) return nullptr;
  tag->setName(name);
  for (int32_t i : polygons) tag->selection().select(i);
  return tag;
}

}  // namespace hostapp
