// Writing document files.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "hostapp/core/atomic_file.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/byte_io.h"
#include "hostapp/docfile/chunk_stream.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/docfile/document_io.h"
#include "hostapp/docfile/format.h"
#include "hostapp/docfile/hook_file.h"
#include "hostapp/docfile/layer_codec.h"
#include "hostapp/docfile/settings_codec.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/objects.h"
#include "hostapp/scene/tags.h"
#include "hostapp/sculpt/sculpt_impl.h"

namespace hostapp::docfile {

namespace {

void writeSelection(ByteWriter& w, const host::Selection& sel) {
  const std::vector<host::Selection::Segment> segments = sel.segments();
  w.u32(static_cast<uint32_t>(segments.size()));
  for (const auto& s : segments) {
    w.i32(s.first);
    w.i32(s.last);
  }
}

void writeLens(ByteWriter& w, const CameraLens& lens) {
  w.i32(lens.projection);
  w.f64(lens.focalLength);
  w.f64(lens.zoom);
  w.vector(lens.filmOffset);
  w.f64(lens.aperture);
}

host::Matrix localMatrixOf(host::Object* o) {
  if (auto* p = dynamic_cast<PolygonObjectImpl*>(o)) return p->localMatrix();
  if (auto* c = dynamic_cast<CameraObjectImpl*>(o)) return c->localMatrix();
  if (auto* n = dynamic_cast<NullObjectImpl*>(o)) return n->localMatrix();
  return o->globalMatrix();
}

class Writer {
 public:
  Writer(EmbeddedHost& host, DocumentImpl& doc, Sink& sink)
      : host_(host), doc_(doc), w_(sink), objects_(doc.allObjects()) {
    for (size_t i = 0; i < objects_.size(); ++i) {
      refs_[objects_[i]] = {NodeRef::kObject, static_cast<int32_t>(i), -1};
      for (int32_t t = 0; t < objects_[i]->tagCount(); ++t)
        refs_[objects_[i]->tagAt(t)] = {NodeRef::kTag, static_cast<int32_t>(i), t};
    }
    for (host::Material* m = doc.firstMaterial(); m; m = m->next()) {
      refs_[m] = {NodeRef::kMaterial, static_cast<int32_t>(materials_.size()), -1};
      materials_.push_back(m);
    }
  }

  bool write(bool withHooks, std::string& why) {
    why = "could not be written";
    if (!w_.fileHeader() || !info() || !documentParameters() || !world() || !render()) return false;
    for (host::Material* m : materials_)
      if (!material(m)) return false;
    for (size_t i = 0; i < objects_.size(); ++i)
      if (!object(objects_[i])) return false;
    int32_t index = 0;
    for (const auto& [path, tex] : doc_.textures()) {
      textures_[tex.get()] = index;
      if (!texture(path, *tex, index++)) return false;
    }
    if (!scene() || !view() || !tools() || !painter()) return false;
    if (withHooks) {
      for (const auto& hook : doc_.hooks()) {
        if (!this->hook(*hook)) {
          why = "could not be written: the scene hook " + std::to_string(hook->pluginId()) +
                " could not write its data";
          return false;
        }
      }
      for (const KeptChunk& k : doc_.keptChunks())
        if (!w_.begin(k.type, k.flags) || !w_.payload(k.payload.data(), k.payload.size()) ||
            !w_.end())
          return false;
    }
    return w_.chunk(kChunkEnd, kChunkCritical, {}, false);
  }

 private:
  bool put(uint32_t type, uint32_t flags, ByteWriter& b) {
    return w_.chunk(type, flags, b.bytes(), true);
  }

  bool info() {
    ByteWriter b;
    b.text("pigmora document");
    return put(kChunkInfo, 0, b);
  }

  bool documentParameters() {
    ByteWriter b;
    // The document's folder is where it is found, not something it keeps.
    writeSettings(b, doc_.data(), refs_, host::kDocPath);
    return put(kChunkDocument, kChunkCritical, b);
  }

  bool world() {
    const host::Settings* world = host_.settings().world();
    if (!world) return true;
    ByteWriter b;
    writeSettings(b, *world, refs_);
    return put(kChunkWorld, 0, b);
  }

  bool render() {
    ByteWriter b;
    b.u8(doc_.activeRenderData() ? 1 : 0);
    if (doc_.activeRenderData()) writeSettings(b, doc_.activeRenderData()->data(), refs_);
    return put(kChunkRender, kChunkCritical, b);
  }

  bool material(host::Material* m) {
    ByteWriter b;
    b.text(m->name());
    writeSettings(b, m->data(), refs_);
    uint32_t mask = 0;
    for (int32_t c = 0; c < 14; ++c) mask |= m->channelEnabled(c) ? 1u << c : 0u;
    b.u32(mask);
    for (int32_t c = 0; c < 14; ++c)
      if (m->channelEnabled(c)) writeSettings(b, m->channel(c)->data(), refs_);
    return put(kChunkMaterial, kChunkCritical, b);
  }

  bool object(host::Object* o) {
    ByteWriter b;
    b.i32(o->type());
    b.i32(o->up() ? refs_.at(o->up()).a : -1);
    b.text(o->name());
    b.u8(o->isSelected() ? 1 : 0);
    b.matrix(localMatrixOf(o));
    writeSettings(b, o->data(), refs_);
    if (o->type() == host::kTypePolygonObject) {
      auto* p = static_cast<host::PolygonObject*>(o);
      b.u32(static_cast<uint32_t>(p->pointCount()));
      b.u32(static_cast<uint32_t>(p->polygonCount()));
      b.raw(p->points(), sizeof(host::Vector) * static_cast<size_t>(p->pointCount()));
      b.raw(p->polygons(), sizeof(host::Polygon) * static_cast<size_t>(p->polygonCount()));
      writeSelection(b, p->pointSelection());
      writeSelection(b, p->edgeSelection());
      writeSelection(b, p->polygonSelection());
    } else if (auto* c = dynamic_cast<CameraObjectImpl*>(o)) {
      writeLens(b, c->lens());
    }
    b.u32(static_cast<uint32_t>(o->tagCount()));
    for (int32_t t = 0; t < o->tagCount(); ++t) {
      host::Tag* tag = o->tagAt(t);
      b.i32(tag->type());
      b.text(tag->name());
      writeSettings(b, tag->data(), refs_);
      switch (tag->type()) {
        case host::kTypeUVWTag: {
          auto* uvw = static_cast<host::UVWTag*>(tag);
          b.u32(static_cast<uint32_t>(uvw->count()));
          b.raw(uvw->uvwArray(), sizeof(host::UVWPolygon) * static_cast<size_t>(uvw->count()));
          break;
        }
        case host::kTypeTextureTag: {
          host::Material* m = static_cast<host::TextureTag*>(tag)->material();
          auto it = m ? refs_.find(m) : refs_.end();
          b.i32(it != refs_.end() ? it->second.a : -1);
          break;
        }
        case host::kTypePolygonSelectionTag:
          writeSelection(b, static_cast<host::SelectionTag*>(tag)->selection());
          break;
        default:
          break;
      }
    }
    return put(kChunkObject, kChunkCritical, b);
  }

  bool texture(const std::string& path, PaintTextureImpl& tex, int32_t index) {
    ByteWriter b;
    b.text(path);
    b.i32(tex.width());
    b.i32(tex.height());
    b.i32(tex.colorMode());
    b.i32(tex.layerCount());
    int32_t active = -1;
    for (int32_t i = 0; i < tex.layerCount(); ++i)
      if (tex.layer(i) == tex.activeLayer()) active = i;
    b.i32(active);
    if (!put(kChunkTexture, kChunkCritical, b)) return false;
    for (int32_t i = 0; i < tex.layerCount(); ++i) {
      PaintLayerImpl* layer = tex.layer(i);
      ByteWriter h;
      h.i32(index);
      h.i32(i);
      h.text(layer->name());
      h.u8(layer->visible() ? 1 : 0);
      h.i32(layer->colorMode());
      if (!w_.begin(kChunkLayer, kChunkCritical) || !w_.payload(h.bytes().data(), h.size()) ||
          !writeLayerPixels(w_, layer->pixels()) || !w_.end())
        return false;
    }
    return true;
  }

  bool scene() {
    ByteWriter b;
    host::Object* active = doc_.activeObject();
    auto it = active ? refs_.find(active) : refs_.end();
    b.i32(it != refs_.end() ? it->second.a : -1);
    const std::vector<host::Material*> selected = doc_.selectedMaterials();
    b.u32(static_cast<uint32_t>(selected.size()));
    for (host::Material* m : selected) b.i32(refs_.at(m).a);
    return put(kChunkScene, kChunkCritical, b);
  }

  bool view() {
    ViewImpl* view = doc_.activeView();
    ByteWriter b;
    b.u8(view->editor().placed() ? 1 : 0);
    b.matrix(view->editor().localMatrix());
    writeLens(b, view->editor().lens());
    host::CameraObject* cam = view->sceneCamera();
    auto it = cam ? refs_.find(cam) : refs_.end();
    b.i32(it != refs_.end() ? it->second.a : -1);
    return put(kChunkView, kChunkCritical, b);
  }

  bool tools() {
    for (const auto& [id, settings] : host_.sculptImpl().toolSettingsOf(&doc_)) {
      ByteWriter b;
      b.i32(id);
      writeSettings(b, *settings, refs_);
      if (!put(kChunkTool, 0, b)) return false;
    }
    return true;
  }

  bool painter() {
    const PainterImpl& p = host_.paintImpl().painter();
    ByteWriter b;
    for (int32_t c = 0; c < 14; ++c) {
      b.u8(p.channelEnabled(c) ? 1 : 0);
      host::Vector colors[2];
      double brightness[2] = {1.0, 1.0};
      const bool present =
          p.color(0, c, colors[0], brightness[0]) && p.color(1, c, colors[1], brightness[1]);
      b.u8(present ? 1 : 0);
      for (int k = 0; k < 2; ++k) {
        b.vector(colors[k]);
        b.f64(brightness[k]);
      }
    }
    b.u8(p.paintAllChannels() ? 1 : 0);
    b.u8(p.multiChannel() ? 1 : 0);
    b.i32(p.activeChannel());
    auto* selected = dynamic_cast<PaintTextureImpl*>(p.selectedTexture());
    auto it = selected ? textures_.find(selected) : textures_.end();
    b.i32(it != textures_.end() ? it->second : -1);
    return put(kChunkPainter, 0, b);
  }

  bool hook(HookNodeImpl& node) {
    const RegisteredPlugin* plugin = host_.registration().find(node.pluginId());
    HookFileWriter file(&doc_);
    if (!node.nodeData()->write(&node, &file)) return false;
    ByteWriter b;
    b.i32(node.pluginId());
    b.i32(plugin ? plugin->diskLevel : 0);
    b.raw(file.bytes().data(), file.bytes().size());
    return put(kChunkHook, 0, b);
  }

  EmbeddedHost& host_;
  DocumentImpl& doc_;
  ChunkWriter w_;
  std::vector<host::Object*> objects_;
  std::vector<host::Material*> materials_;
  NodeRefs refs_;
  std::map<const PaintTextureImpl*, int32_t> textures_;
};

}  // namespace

bool writeChunks(EmbeddedHost& host, DocumentImpl& doc, Sink& sink, bool withHooks,
                 std::string& why) {
  return Writer(host, doc, sink).write(withHooks, why);
}

}  // namespace hostapp::docfile

namespace hostapp {

bool writeDocument(EmbeddedHost& host, DocumentImpl& doc, std::string& bytes, std::string& error) {
  docfile::MemorySink sink;
  std::string why;
  if (!docfile::writeChunks(host, doc, sink, true, why)) {
    error = "The document " + why + ".";
    return false;
  }
  bytes = std::move(sink.bytes());
  return true;
}

bool saveDocument(EmbeddedHost& host, DocumentImpl& doc, const std::string& path,
                  std::string& error) {
  AtomicFile file;
  std::string why;
  if (!file.open(path, why)) {
    error = "The document " + path + " could not be written: " + why + ".";
    return false;
  }
  docfile::FileSink sink(file);
  if (!docfile::writeChunks(host, doc, sink, true, why)) {
    std::string reason;
    if (file.failed() && !file.commit(reason)) why += ": " + reason;
    error = "The document " + path + " " + why + ".";
    return false;
  }
  if (!file.commit(why)) {
    error = "The document " + path + " could not be written: " + why + ".";
    return false;
  }
  doc.data().setFilename(host::kDocPath, std::filesystem::absolute(path).parent_path().string());
  return true;
}

}  // namespace hostapp
