#include "cli/document_summary.h"

#include <cstdio>

#include "cli/job_context.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/scene/document.h"
#include "plugin/managerscenehook.h"

namespace pigmora::cli {

namespace {
std::string number(double v) {
  if (v == 0) v = 0;  // no "-0"
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

std::string vec(const host::Vector& v) {
  return "(" + number(v.x) + ", " + number(v.y) + ", " + number(v.z) + ")";
}

int depthOf(const host::Object* o) {
  int depth = 0;
  for (const host::Object* p = o->up(); p; p = p->up()) ++depth;
  return depth;
}
}  // namespace

std::string objectKind(const host::Object* o) {
  switch (o->type()) {
    case host::kTypePolygonObject:
      return "polygon object";
    case host::kTypeCamera:
      return "camera";
    case host::kTypeNull:
      return "null";
    default:
      return "object " + std::to_string(o->type());
  }
}

pigmora::ManagerSceneHook* bookmarksOf(hostapp::DocumentImpl& doc) {
  auto* node = static_cast<host::HookNode*>(doc.sceneHook(pigmora::kManagerHookId));
  return node ? static_cast<pigmora::ManagerSceneHook*>(node->nodeData()) : nullptr;
}

std::vector<const pigmora::CameraBookmark*> bookmarkList(hostapp::DocumentImpl& doc) {
  std::vector<const pigmora::CameraBookmark*> out;
  pigmora::ManagerSceneHook* marks = bookmarksOf(doc);
  for (size_t i = 0; marks && i < marks->count(); ++i) out.push_back(marks->at(i));
  return out;
}

std::string describeMatrix(const host::Matrix& m) {
  return "offset " + vec(m.off) + ", axes " + vec(m.v1) + " " + vec(m.v2) + " " + vec(m.v3);
}

std::vector<std::string> describeDocument(hostapp::DocumentImpl& doc) {
  const std::vector<host::Object*> objects = doc.allObjects();
  int32_t materials = 0, layers = 0;
  for (host::Material* m = doc.firstMaterial(); m; m = m->next()) ++materials;
  for (const auto& [path, tex] : doc.textures()) layers += tex->layerCount();
  const std::vector<const pigmora::CameraBookmark*> marks = bookmarkList(doc);
  const size_t bookmarks = marks.size();
  std::vector<std::string> out;
  out.push_back(std::to_string(objects.size()) + " objects, " + std::to_string(materials) +
                " materials, " + std::to_string(doc.textures().size()) + " textures with " +
                std::to_string(layers) + " layers, " + std::to_string(bookmarks) +
                " camera bookmarks");
  for (host::Object* o : objects) {
    std::string line =
        std::string(2 + 2 * depthOf(o), ' ') + "object \"" + o->name() + "\" (" + objectKind(o);
    if (o->type() == host::kTypePolygonObject) {
      auto* p = static_cast<host::PolygonObject*>(o);
      line += ", " + std::to_string(p->pointCount()) + " points, " +
              std::to_string(p->polygonCount()) + " polygons";
    }
    line += ", " + std::to_string(o->tagCount()) + " tags)";
    if (o == doc.activeObject()) line += ", active";
    out.push_back(line);
  }
  for (host::Material* m = doc.firstMaterial(); m; m = m->next()) {
    std::string line = "  material \"" + m->name() + "\":";
    bool any = false;
    for (int32_t c = 0; c < 14; ++c) {
      if (!m->channelEnabled(c)) continue;
      line += std::string(any ? "," : "") + " " + channelKey(c);
      any = true;
    }
    out.push_back(line + (any ? "" : " no channels"));
  }
  for (const auto& [path, tex] : doc.textures()) {
    std::string line = "  texture " + path + " " + std::to_string(tex->width()) + "x" +
                       std::to_string(tex->height()) + ":";
    for (int32_t i = 0; i < tex->layerCount(); ++i) {
      hostapp::PaintLayerImpl* l = tex->layer(i);
      line += std::string(i ? "," : "") + " \"" + l->name() + "\" " +
              colorModeName(l->colorMode()) + (l->visible() ? "" : " hidden") +
              (l == tex->activeLayer() ? " active" : "");
    }
    out.push_back(line);
  }
  for (size_t i = 0; i < bookmarks; ++i) {
    const pigmora::CameraBookmark* b = marks[i];
    out.push_back("  bookmark " + std::to_string(i) + " (id " + std::to_string(b->id) +
                  "): " + describeMatrix(b->matrix) +
                  (b->preview ? ", preview " + std::to_string(b->preview->width()) + "x" +
                                    std::to_string(b->preview->height())
                              : ", no preview"));
  }
  if (!doc.keptChunks().empty())
    out.push_back("  " + std::to_string(doc.keptChunks().size()) +
                  " parts of the file this program does not know, kept for the next save");
  return out;
}

}  // namespace pigmora::cli
