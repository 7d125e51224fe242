// Reading document files. Nothing a file declares is allocated before it is checked against the
// bytes that are there and against the reader's memory budget; a document is only handed out
// when every chunk has been read and checked.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/byte_io.h"
#include "hostapp/docfile/chunk_stream.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/docfile/document_io.h"
#include "hostapp/docfile/format.h"
#include "hostapp/docfile/hook_file.h"
#include "hostapp/docfile/layer_codec.h"
#include "hostapp/docfile/settings_codec.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/objects.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/scene/tags.h"
#include "hostapp/sculpt/sculpt_impl.h"

namespace hostapp::docfile {

namespace {

constexpr uint64_t kSegmentBytes = 8;
constexpr uint64_t kMinTagBytes = 4 + 4 + 8;

bool readSelection(ByteReader& r, host::Selection& sel, int64_t limit) {
  uint32_t n = 0;
  if (!r.u32(n) || !r.fits(n, kSegmentBytes)) return r.fail();
  sel.deselectAll();
  int64_t next = 0;
  for (uint32_t i = 0; i < n; ++i) {
    int32_t first = 0, last = 0;
    if (!r.i32(first) || !r.i32(last)) return false;
    // Runs are ascending and inside the elements they select, so that a file cannot make a
    // selection larger than its object.
    if (first < next || last < first || last >= limit) return r.fail();
    for (int32_t k = first; k <= last; ++k) sel.select(k);
    next = int64_t{last} + 1;
  }
  return true;
}

bool readLens(ByteReader& r, CameraLens& lens) {
  return r.i32(lens.projection) && r.f64(lens.focalLength) && r.f64(lens.zoom) &&
         r.vector(lens.filmOffset) && r.f64(lens.aperture);
}

void setLocalMatrix(host::Object* o, const host::Matrix& m) {
  if (auto* p = dynamic_cast<PolygonObjectImpl*>(o)) p->setLocalMatrix(m);
  if (auto* c = dynamic_cast<CameraObjectImpl*>(o)) c->setLocalMatrix(m);
  if (auto* n = dynamic_cast<NullObjectImpl*>(o)) n->setLocalMatrix(m);
}

struct PainterState {
  bool enabled[14] = {};
  bool present[14] = {};
  host::Vector colors[2][14];
  double brightness[2][14] = {};
  bool paintAll = false, multi = false;
  int32_t activeChannel = 0;
  int32_t texture = -1;
};

struct HookData {
  int32_t id, level;
  std::string bytes;
};

class Reader {
 public:
  Reader(EmbeddedHost& host, Source& source, ReadBudget& budget, bool withHooks)
      : host_(host), chunks_(source), budget_(budget), withHooks_(withHooks) {}

  std::unique_ptr<DocumentImpl> read(std::string& why) {
    doc_ = std::make_unique<DocumentImpl>(host_);
    doc_->createHooks();
    if (!chunks_.fileHeader(why)) return nullptr;
    for (;;) {
      ChunkInfo info;
      if (!chunks_.next(info, why)) return nullptr;
      if (info.type == kChunkEnd) {
        if (!chunks_.finish(why)) return nullptr;
        break;
      }
      if (!chunk(info, why)) return nullptr;
    }
    if (!finishScene(why) || !readHooks(why)) return nullptr;
    applySettings();
    return std::move(doc_);
  }

 private:
  std::string where() const {
    const ChunkInfo& c = chunks_.current();
    return " (its " + chunkName(c.type) + " chunk at byte " + std::to_string(c.offset) + ")";
  }
  bool damaged(std::string& why, const std::string& what) {
    why = "is damaged or lies about its contents: " + what + where();
    return false;
  }
  bool parsed(ByteReader& r, std::string& why, const char* what) {
    return r.ok() || damaged(why, std::string(what) + " cannot be read");
  }

  bool chunk(const ChunkInfo& info, std::string& why) {
    if (info.type == kChunkLayer) return layer(why);
    const bool known =
        info.type == kChunkInfo || info.type == kChunkDocument || info.type == kChunkWorld ||
        info.type == kChunkRender || info.type == kChunkObject || info.type == kChunkMaterial ||
        info.type == kChunkTexture || info.type == kChunkScene || info.type == kChunkView ||
        info.type == kChunkTool || info.type == kChunkPainter || info.type == kChunkHook;
    if (!known && (info.flags & kChunkCritical)) {
      why = "holds a " + chunkName(info.type) + " chunk at byte " + std::to_string(info.offset) +
            " that this program does not know and cannot do without (it was written by a newer "
            "pigmora)";
      return false;
    }
    std::string stored, payload;
    if (!chunks_.stored(stored, budget_, why)) return false;
    if (!known) return keep(info, std::move(stored));
    const std::string copy = info.type == kChunkHook || info.type == kChunkTool ? stored : "";
    if (!unpackPayload(info, std::move(stored), budget_, payload, why)) return false;
    ByteReader r(payload);
    switch (info.type) {
      case kChunkInfo:
        return true;
      case kChunkDocument:
        readSettings(r, doc_->data(), links_);
        return parsed(r, why, "the document's parameters");
      case kChunkWorld:
        world_ = std::make_unique<host::Settings>();
        readSettings(r, *world_, links_);
        return parsed(r, why, "the world settings");
      case kChunkRender: {
        uint8_t has = 0;
        if (r.u8(has) && has) {
          // A file may carry the chunk more than once; the last one holds.
          readSettings(r, doc_->ensureRenderData()->data(), links_);
        } else if (r.ok()) {
          doc_->clearRenderData();
        }
        return parsed(r, why, "the render settings");
      }
      case kChunkMaterial:
        return material(r, why);
      case kChunkObject:
        return object(r, why);
      case kChunkTexture:
        return texture(r, why);
      case kChunkScene:
        return scene(r, why);
      case kChunkView:
        return view(r, why);
      case kChunkTool:
        return tool(r, info, copy, why);
      case kChunkPainter:
        return painter(r, why);
      case kChunkHook:
        return hook(r, info, copy, why);
      default:
        return true;
    }
  }

  bool keep(const ChunkInfo& info, std::string stored) {
    doc_->keptChunks().push_back({info.type, info.flags, std::move(stored)});
    return true;
  }

  bool material(ByteReader& r, std::string& why) {
    auto mat = std::make_unique<MaterialImpl>();
    std::string name;
    uint32_t mask = 0;
    if (!r.text(name) || !readSettings(r, mat->data(), links_) || !r.u32(mask))
      return parsed(r, why, "a material");
    if (mask >> 14) return damaged(why, "a material enables channels it does not have");
    mat->setName(name);
    for (int32_t c = 0; c < 14; ++c) {
      mat->enableChannel(c, (mask >> c) & 1);
      if (mat->channelEnabled(c) && !readSettings(r, mat->channel(c)->data(), links_))
        return parsed(r, why, "a material's channel");
    }
    host::Material* raw = mat.release();
    doc_->insertMaterial(raw, materials_.empty() ? nullptr : materials_.back());
    materials_.push_back(raw);
    return true;
  }

  bool object(ByteReader& r, std::string& why) {
    int32_t type = 0, parent = -1;
    std::string name;
    uint8_t selected = 0;
    host::Matrix local;
    if (!r.i32(type) || !r.i32(parent) || !r.text(name) || !r.u8(selected) || !r.matrix(local))
      return parsed(r, why, "an object");
    std::unique_ptr<host::Object> obj = createObjectOfType(type);
    if (!obj) return damaged(why, "an object has the unknown type " + std::to_string(type));
    if (parent < -1 || parent >= static_cast<int32_t>(objects_.size()))
      return damaged(why, "an object's parent comes after it");
    obj->setName(name);
    obj->setSelected(selected != 0);
    setLocalMatrix(obj.get(), local);
    if (!readSettings(r, obj->data(), links_)) return parsed(r, why, "an object's parameters");
    if (type == host::kTypePolygonObject) {
      auto* p = static_cast<host::PolygonObject*>(obj.get());
      uint32_t points = 0, polygons = 0;
      if (!r.u32(points) || !r.u32(polygons) || points > INT32_MAX || polygons > INT32_MAX / 4 ||
          !r.fits(points, sizeof(host::Vector)) ||
          !r.fits(
              uint64_t{points} * sizeof(host::Vector) + uint64_t{polygons} * sizeof(host::Polygon),
              1))
        return damaged(why, "an object declares more points or polygons than it holds");
      p->resize(static_cast<int32_t>(points), static_cast<int32_t>(polygons));
      r.raw(p->writablePoints(), sizeof(host::Vector) * points);
      r.raw(p->writablePolygons(), sizeof(host::Polygon) * polygons);
      for (uint32_t i = 0; i < polygons; ++i) {
        const host::Polygon& q = p->polygons()[i];
        for (int k = 0; k < 4; ++k)
          if (q.corner(k) < 0 || static_cast<uint32_t>(q.corner(k)) >= points)
            return damaged(
                why, "a polygon of the object \"" + name + "\" uses a point it does not have");
      }
      if (!readSelection(r, p->pointSelection(), points) ||
          !readSelection(r, p->edgeSelection(), int64_t{polygons} * 4) ||
          !readSelection(r, p->polygonSelection(), polygons))
        return damaged(why, "a selection of the object \"" + name + "\" does not fit it");
    } else if (auto* c = dynamic_cast<CameraObjectImpl*>(obj.get())) {
      CameraLens lens;
      if (!readLens(r, lens)) return parsed(r, why, "a camera");
      c->setLens(lens);
    }
    uint32_t tags = 0;
    if (!r.u32(tags) || !r.fits(tags, kMinTagBytes))
      return damaged(why, "an object's tags cannot be read");
    host::Tag* last = nullptr;
    for (uint32_t t = 0; t < tags; ++t)
      if (!tag(r, obj.get(), last, why)) return false;
    host::Object* parentObj = parent >= 0 ? objects_[static_cast<size_t>(parent)] : nullptr;
    host::Object*& after = lastChild_[parent];
    host::Object* raw = obj.release();
    doc_->insertObject(raw, parentObj, after);
    after = raw;
    objects_.push_back(raw);
    return true;
  }

  bool tag(ByteReader& r, host::Object* obj, host::Tag*& last, std::string& why) {
    int32_t type = 0;
    std::string name;
    if (!r.i32(type) || !r.text(name)) return parsed(r, why, "a tag");
    std::unique_ptr<host::Tag> tag = createTagOfType(type);
    if (!tag) return damaged(why, "a tag has the unknown type " + std::to_string(type));
    tag->setName(name);
    if (!readSettings(r, tag->data(), links_)) return parsed(r, why, "a tag's parameters");
    auto* poly =
        obj->type() == host::kTypePolygonObject ? static_cast<host::PolygonObject*>(obj) : nullptr;
    switch (type) {
      case host::kTypeUVWTag: {
        auto* uvw = static_cast<host::UVWTag*>(tag.get());
        uint32_t count = 0;
        if (!r.u32(count) || count > INT32_MAX || !r.fits(count, sizeof(host::UVWPolygon)))
          return damaged(why, "a UVW tag declares more entries than it holds");
        uvw->resize(static_cast<int32_t>(count));
        for (uint32_t i = 0; i < count; ++i) {
          host::UVWPolygon uv;
          r.raw(&uv, sizeof uv);
          uvw->set(static_cast<int32_t>(i), uv);
        }
        // Painting reads one entry per polygon.
        if (poly && uvw->count() != poly->polygonCount()) uvw->resize(poly->polygonCount());
        break;
      }
      case host::kTypeTextureTag: {
        int32_t material = -1;
        if (!r.i32(material)) return parsed(r, why, "a texture tag");
        tagMaterials_.emplace_back(static_cast<host::TextureTag*>(tag.get()), material);
        break;
      }
      case host::kTypePolygonSelectionTag:
        if (!readSelection(r, static_cast<host::SelectionTag*>(tag.get())->selection(),
                           poly ? poly->polygonCount() : 0))
          return damaged(why, "a selection tag does not fit its object");
        break;
      default:
        break;
    }
    host::Tag* raw = tag.release();
    obj->insertTag(raw, last);
    last = raw;
    return true;
  }

  bool texture(ByteReader& r, std::string& why) {
    std::string path;
    int32_t width = 0, height = 0, mode = 0, layers = 0, active = -1;
    if (!r.text(path) || !r.i32(width) || !r.i32(height) || !r.i32(mode) || !r.i32(layers) ||
        !r.i32(active))
      return parsed(r, why, "a texture");
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide ||
        !modeLayout(mode) || layers < 0 || active < -1 || active >= std::max(layers, 1))
      return damaged(why, "the texture " + path + " has an impossible size, mode or layer count");
    if (doc_->textureAt(path)) return damaged(why, "the texture " + path + " is there twice");
    auto tex = std::make_unique<PaintTextureImpl>(host_.memory(), path);
    tex->setFormat(width, height, mode);
    textures_.push_back({tex.get(), layers, active});
    doc_->addTexture(path, std::move(tex));
    return true;
  }

  bool layer(std::string& why) {
    int32_t texture = -1, index = -1, mode = 0;
    uint32_t nameBytes = 0;
    uint8_t visible = 1;
    if (!chunks_.read(&texture, 4) || !chunks_.read(&index, 4) || !chunks_.read(&nameBytes, 4) ||
        nameBytes > chunks_.payloadLeft())
      return damaged(why, "a layer cannot be read");
    std::string name(nameBytes, '\0');
    if (!chunks_.read(name.data(), nameBytes) || !chunks_.read(&visible, 1) ||
        !chunks_.read(&mode, 4))
      return damaged(why, "a layer cannot be read");
    if (texture < 0 || texture >= static_cast<int32_t>(textures_.size()))
      return damaged(why, "a layer belongs to no texture");
    TextureEntry& entry = textures_[static_cast<size_t>(texture)];
    const ModeLayout* layout = modeLayout(mode);
    if (index != entry.tex->layerCount() || index >= entry.layers || !layout || visible > 1)
      return damaged(why, "a layer of the texture " + entry.tex->filePath() +
                              " is out of order or of an unknown mode");
    const uint64_t bytes = uint64_t(entry.tex->width()) * uint64_t(entry.tex->height()) *
                           uint64_t(layout->pixelBytes());
    if (bytes / kMaxExpansion > chunks_.payloadLeft())
      return damaged(why, "a layer of the texture " + entry.tex->filePath() + " claims " +
                              std::to_string(bytes) +
                              " bytes of pixels that its chunk cannot hold");
    if (!budget_.take(bytes)) {
      why = "needs more memory than this machine can give it (" + std::to_string(bytes) +
            " bytes for a layer of the texture " + entry.tex->filePath() + ")" + where();
      return false;
    }
    auto* layer = static_cast<PaintLayerImpl*>(entry.tex->addLayer(name, mode));
    if (!layer) {
      why = "could not be read: the machine ran out of memory making a layer of the texture " +
            entry.tex->filePath() + where();
      return false;
    }
    layer->setVisible(visible != 0);
    return readLayerPixels(chunks_, layer->pixels(), why) && chunks_.finish(why);
  }

  bool scene(ByteReader& r, std::string& why) {
    uint32_t n = 0;
    if (!r.i32(activeObject_) || !r.u32(n) || !r.fits(n, 4)) return parsed(r, why, "the scene");
    selectedMaterials_.resize(n);
    for (int32_t& m : selectedMaterials_) r.i32(m);
    return parsed(r, why, "the scene");
  }

  bool view(ByteReader& r, std::string& why) {
    uint8_t placed = 0;
    host::Matrix m;
    CameraLens lens;
    if (!r.u8(placed) || !r.matrix(m) || !readLens(r, lens) || !r.i32(viewCamera_))
      return parsed(r, why, "the view");
    EditorCamera& editor = doc_->activeView()->editor();
    editor.setLocalMatrix(m);
    editor.setLens(lens);
    editor.setPlaced(placed != 0);
    return true;
  }

  bool tool(ByteReader& r, const ChunkInfo& info, const std::string& stored, std::string& why) {
    int32_t id = 0;
    if (!r.i32(id)) return parsed(r, why, "a tool's settings");
    const RegisteredPlugin* p = host_.registration().find(id);
    if (!p || p->kind != PluginKind::kTool) return keep(info, stored);
    auto settings = std::make_unique<host::Settings>();
    if (!readSettings(r, *settings, links_)) return parsed(r, why, "a tool's settings");
    tools_.emplace_back(id, std::move(settings));
    return true;
  }

  bool painter(ByteReader& r, std::string& why) {
    PainterState p;
    for (int32_t c = 0; c < 14; ++c) {
      uint8_t enabled = 0, present = 0;
      r.u8(enabled);
      r.u8(present);
      p.enabled[c] = enabled != 0;
      p.present[c] = present != 0;
      for (int k = 0; k < 2; ++k) {
        r.vector(p.colors[k][c]);
        r.f64(p.brightness[k][c]);
      }
    }
    uint8_t all = 0, multi = 0;
    r.u8(all);
    r.u8(multi);
    r.i32(p.activeChannel);
    r.i32(p.texture);
    p.paintAll = all != 0;
    p.multi = multi != 0;
    if (!parsed(r, why, "the painter state")) return false;
    painter_ = std::make_unique<PainterState>(p);
    return true;
  }

  bool hook(ByteReader& r, const ChunkInfo& info, const std::string& stored, std::string& why) {
    int32_t id = 0, level = 0;
    if (!r.i32(id) || !r.i32(level)) return parsed(r, why, "a scene hook's data");
    if (!withHooks_) return true;
    if (!doc_->sceneHook(id)) return keep(info, stored);
    std::string_view rest;
    r.view(r.remaining(), rest);
    hooks_.push_back({id, level, std::string(rest)});
    return true;
  }

  host::Node* resolve(const NodeRef& ref) const {
    const auto objects = static_cast<int32_t>(objects_.size());
    switch (ref.kind) {
      case NodeRef::kObject:
        return ref.a >= 0 && ref.a < objects ? objects_[static_cast<size_t>(ref.a)] : nullptr;
      case NodeRef::kMaterial:
        return ref.a >= 0 && ref.a < static_cast<int32_t>(materials_.size())
                   ? materials_[static_cast<size_t>(ref.a)]
                   : nullptr;
      case NodeRef::kTag:
        return ref.a >= 0 && ref.a < objects ? objects_[static_cast<size_t>(ref.a)]->tagAt(ref.b)
                                             : nullptr;
      default:
        return nullptr;
    }
  }

  bool finishScene(std::string& why) {
    for (const TextureEntry& t : textures_) {
      if (t.tex->layerCount() != t.layers) {
        why = "is truncated or damaged: the texture " + t.tex->filePath() + " has " +
              std::to_string(t.tex->layerCount()) + " of its " + std::to_string(t.layers) +
              " layers";
        return false;
      }
      if (t.active >= 0) t.tex->setActiveLayer(t.tex->layer(t.active));
    }
    for (const PendingLink& l : links_) l.settings->setLink(l.key, resolve(l.ref));
    for (auto& [tag, index] : tagMaterials_)
      tag->setMaterial(static_cast<host::Material*>(resolve({NodeRef::kMaterial, index, -1})));
    if (auto* active = resolve({NodeRef::kObject, activeObject_, -1}))
      doc_->makeActive(static_cast<host::Object*>(active));
    for (auto it = selectedMaterials_.rbegin(); it != selectedMaterials_.rend(); ++it)
      doc_->setActiveMaterial(static_cast<host::Material*>(resolve({NodeRef::kMaterial, *it, -1})),
                              it != selectedMaterials_.rbegin());
    host::Node* cam = resolve({NodeRef::kObject, viewCamera_, -1});
    if (cam && cam->type() == host::kTypeCamera)
      doc_->activeView()->setSceneCamera(static_cast<host::CameraObject*>(cam));
    return true;
  }

  bool readHooks(std::string& why) {
    for (const HookData& h : hooks_) {
      auto* node = static_cast<HookNodeImpl*>(doc_->sceneHook(h.id));
      HookFileReader file(doc_.get(), h.bytes);
      if (!node->nodeData()->read(node, &file, h.level)) {
        why = "could not be read: the scene hook " + std::to_string(h.id) +
              " could not read its data from it";
        return false;
      }
    }
    return true;
  }

  // What belongs to the host rather than the document is set once the whole file has been read.
  void applySettings() {
    if (host::Settings* world = host_.settings().world(); world && world_)
      for (const auto& [key, value] : world_->entries()) world->set(key, value);
    for (const auto& [id, settings] : tools_)
      host_.sculptImpl().setToolData(doc_.get(), id, *settings);
    if (painter_) {
      PainterImpl& p = host_.paintImpl().painter();
      for (int32_t c = 0; c < 14; ++c) {
        p.setChannelEnabled(c, painter_->enabled[c]);
        if (!painter_->present[c]) {
          p.clearColor(c);
          continue;
        }
        for (int k = 0; k < 2; ++k)
          p.setColor(k, c, painter_->colors[k][c], painter_->brightness[k][c]);
      }
      p.setPaintAllChannels(painter_->paintAll);
      p.setMultiChannel(painter_->multi);
      p.setActiveChannel(painter_->activeChannel);
      if (painter_->texture >= 0 && painter_->texture < static_cast<int32_t>(textures_.size()))
        p.setSelectedTexture(textures_[static_cast<size_t>(painter_->texture)].tex);
    }
  }

  struct TextureEntry {
    PaintTextureImpl* tex;
    int32_t layers, active;
  };

  EmbeddedHost& host_;
  ChunkReader chunks_;
  ReadBudget& budget_;
  bool withHooks_;
  std::unique_ptr<DocumentImpl> doc_;
  std::vector<host::Object*> objects_;
  std::map<int32_t, host::Object*> lastChild_;
  std::vector<host::Material*> materials_;
  std::vector<TextureEntry> textures_;
  std::vector<PendingLink> links_;
  std::vector<std::pair<host::TextureTag*, int32_t>> tagMaterials_;
  int32_t activeObject_ = -1, viewCamera_ = -1;
  std::vector<int32_t> selectedMaterials_;
  std::unique_ptr<host::Settings> world_;
  std::vector<std::pair<int32_t, std::unique_ptr<host::Settings>>> tools_;
  std::unique_ptr<PainterState> painter_;
  std::vector<HookData> hooks_;
};

uint64_t physicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) : uint64_t(1) << 34;
}

}  // namespace

std::unique_ptr<DocumentImpl> readChunks(EmbeddedHost& host, Source& source, ReadBudget& budget,
                                         bool withHooks, std::string& why) {
  return Reader(host, source, budget, withHooks).read(why);
}

}  // namespace hostapp::docfile

namespace hostapp {

namespace {
docfile::ReadBudget budgetOf(const DocumentReadOptions& options) {
  return {options.maxBytes ? options.maxBytes : docfile::physicalMemory()};
}
}  // namespace

std::unique_ptr<DocumentImpl> readDocument(EmbeddedHost& host, std::string_view bytes,
                                           const std::string& label, std::string& error,
                                           const DocumentReadOptions& options) {
  docfile::MemorySource source(bytes);
  docfile::ReadBudget budget = budgetOf(options);
  std::string why;
  std::unique_ptr<DocumentImpl> doc = docfile::readChunks(host, source, budget, true, why);
  if (!doc) error = "The document " + label + " " + why + ".";
  return doc;
}

DocumentImpl* loadDocument(EmbeddedHost& host, const std::string& path, std::string& error,
                           const DocumentReadOptions& options) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    error = "The document " + path + " does not exist.";
    return nullptr;
  }
  const uint64_t size = std::filesystem::file_size(path, ec);
  std::FILE* f = ec ? nullptr : std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "The document " + path +
            " could not be opened: " + (ec ? ec.message() : std::string(std::strerror(errno))) +
            ".";
    return nullptr;
  }
  docfile::FileSource source(f, size);
  docfile::ReadBudget budget = budgetOf(options);
  std::string why;
  std::unique_ptr<DocumentImpl> doc = docfile::readChunks(host, source, budget, true, why);
  std::fclose(f);
  if (!doc) {
    error = "The document " + path + " " + why + ".";
    return nullptr;
  }
  doc->data().setFilename(host::kDocPath, std::filesystem::absolute(path).parent_path().string());
  return host.sceneImpl().adoptDocument(std::move(doc));
}

std::unique_ptr<DocumentImpl> copyDocument(EmbeddedHost& host, DocumentImpl& doc,
                                           std::string& error) {
  docfile::MemorySink sink;
  std::string why;
  if (!docfile::writeChunks(host, doc, sink, false, why)) {
    error = "The document could not be copied: it " + why + ".";
    return nullptr;
  }
  docfile::MemorySource source(sink.bytes());
  docfile::ReadBudget budget{docfile::physicalMemory()};
  std::unique_ptr<DocumentImpl> copy = docfile::readChunks(host, source, budget, false, why);
  if (!copy) {
    error = "The document could not be copied: its copy " + why + ".";
    return nullptr;
  }
  copy->data().setFilename(host::kDocPath, doc.data().getFilename(host::kDocPath));
  for (const auto& hook : doc.hooks()) {
    auto* to = static_cast<HookNodeImpl*>(copy->sceneHook(hook->pluginId()));
    if (to && !hook->nodeData()->copyTo(to->nodeData(), hook.get(), to, 0)) {
      error = "The document could not be copied: the scene hook " +
              std::to_string(hook->pluginId()) + " could not copy its data.";
      return nullptr;
    }
  }
  copy->keptChunks() = doc.keptChunks();
  return copy;
}

}  // namespace hostapp
