#include "plugin/commands/material_creation.h"

#include <cmath>

#include "host/binding.h"
#include "lib/host_array.h"
#include "plugin/commands/uv_layout.h"
#include "plugin/paintchannels.h"
#include "plugin/painting_lib_client.h"
#include "plugin/paintmaterials.h"
#include "plugin/preferences.h"

namespace pigmora {

namespace {
constexpr host::Vector kTexturedColor{0.75, 0.75, 0.75};
constexpr host::Vector kFlatNormal{128, 128, 255};

IslandColorGenerator gMaterialColors = [] {
  IslandColorGenerator g;
  g.seed(100);
  return g;
}();

host::Paint& paint() {
  return host::api().paint();
}

// The polygons the object has selected, within its polygon count; false when memory runs out.
bool selectedPolygons(host::PolygonObject* obj, HostArray<int32_t>& out) {
  out.clear();
  bool room = true;
  obj->polygonSelection().forEachIndex([&](int32_t i) {
    if (i < obj->polygonCount()) room = room && out.push(i);
  });
  return room;
}

host::UVWPolygon minusOffsets(host::UVWPolygon uv, double u, double v) {
  for (int k = 0; k < 4; ++k) {
    uv.corner(k).x -= u;
    uv.corner(k).y -= v;
  }
  return uv;
}

// Copies what the selected polygons showed in the source material's textures into the same
// places of the new material's textures, through their old and new UVs.
void transferTexels(host::Material* source, host::Material* mat, host::PolygonObject* obj,
                    host::UVWTag* uvw, const HostArray<host::UVWPolygon>& oldUVs,
                    const HostArray<int32_t>& polygons, double oldU, double oldV, double newU,
                    double newV, int32_t size, int32_t format) {
  host::Document* doc = obj->document();
  const host::Polygon* polys = obj->polygons();
  for (int32_t c = 0; c < kChannelCount; ++c) {
    if (!source->channel(c) || !mat->channel(c)) continue;
    host::PaintTexture* from = paint().textureOf(source, c, doc);
    if (!from) continue;
    host::PaintTexture* to = paint().textureOf(mat, c, doc);
    if (!to) {
      createChannelTexture(mat, c, texturePath(obj, mat, c, format), format, size, size);
      to = paint().textureOf(mat, c, doc);
    }
    // A channel still linked to the source's own file would be painted over itself.
    if (!to || to == from) continue;
    host::PaintBitmap* src = from->firstLayer();
    host::PaintBitmap* dst = to->firstLayer();
    if (!src || !dst || !src->isInstanceOf(host::kTypeBitmapLayer) ||
        !dst->isInstanceOf(host::kTypeBitmapLayer))
      continue;
    for (int32_t i : polygons) {
      if (i >= uvw->count() || static_cast<size_t>(i) >= oldUVs.size()) continue;
      const host::UVWPolygon now = minusOffsets(uvw->get(i), newU, newV);
      const host::UVWPolygon before = minusOffsets(oldUVs[static_cast<size_t>(i)], oldU, oldV);
      library::remapPolygon(before, now, src, dst, !polys[i].isTriangle());
    }
    dst->layerChanged(1);
  }
}
}  // namespace

void setTexturedColor(host::Material* mat) {
  mat->data().setVector(host::kMatColor, kTexturedColor);
  mat->data().setInt32(host::kMatColorUsed, 1);
}

void linkChannelFile(host::Channel* ch, const std::string& name, const std::string& folder) {
  ch->data().setFilename(host::kChannelFile, name);
  ch->data().setFilename(host::kChannelDirectory, folder);
  ch->data().setInt32(host::kChannelMode, 0);
}

CreationSettings creationSettings() {
  CreationSettings s;
  host::Settings* prefs = preferencesContainer();
  if (!prefs) return s;
  auto positive = [prefs](int32_t key, int32_t fallback) {
    const int32_t v = prefs->getInt32(key, 0);
    return v >= 1 ? v : fallback;
  };
  const int32_t format = prefs->getInt32(kPrefTextureFormat, 0);
  if (!paint().formatSuffix(format).empty()) s.format = format;
  s.size = positive(kPrefTextureWidth, s.size);
  s.polyWidth = positive(kPrefPolyTextureWidth, s.polyWidth);
  s.polyHeight = positive(kPrefPolyTextureHeight, s.polyHeight);
  return s;
}

std::string uniqueSelectionName(host::Object* obj, int32_t& n) {
  for (n = 0;; ++n) {
    const std::string name = "UV_" + std::to_string(n);
    bool taken = false;
    for (int32_t i = 0; obj && !taken && i < obj->tagCount(); ++i)
      taken = obj->tagAt(i)->name() == name;
    if (!taken) return name;
  }
}

std::string safeFileName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (const char ch : name) {
    const bool unsafe = ch == '/' || ch == '\\' || static_cast<unsigned char>(ch) < 0x20;
    out += unsafe ? '_' : ch;
  }
  for (char& ch : out) {
    if (ch != '.') break;
    ch = '_';
  }
  return out.empty() ? "_" : out;
}

std::string documentFilePath(host::Document* doc, const std::string& base, int32_t format) {
  const std::string file = safeFileName(base) + paint().formatSuffix(format);
  const std::string folder = doc ? doc->data().getFilename(host::kDocPath) : std::string();
  if (folder.empty()) return file;
  return folder.back() == '/' ? folder + file : folder + "/" + file;
}

std::string texturePath(host::Object* obj, host::Material* mat, int32_t channel, int32_t format) {
  host::Document* doc = obj && obj->document() ? obj->document() : mat->document();
  return documentFilePath(doc, mat->name() + "_" + channelKey(channel), format);
}

int32_t nextFreeUdimTile(host::Object* obj) {
  int32_t highest = 1000;
  for (host::SelectionTag* sel : selectionTags(obj)) {
    int32_t number = 0;
    double u = 0, v = 0;
    bool offsets = false;
    if (parseUdimName(sel->name(), number, u, v, offsets) && offsets && number > highest)
      highest = number;
  }
  return highest + 1;
}

IslandColorGenerator& materialColorGenerator() {
  return gMaterialColors;
}

bool createChannelTexture(host::Material* mat, int32_t channel, const std::string& path,
                          int32_t format, int32_t width, int32_t height) {
  if (!mat || channel < 0 || channel >= kChannelCount) return false;
  mat->enableChannel(channel, true);
  host::Channel* ch = mat->channel(channel);
  if (!ch) return false;
  host::Settings settings;
  paint().defaultTextureSettings(channel, settings);
  settings.setInt32(host::kNewTexFormat, format);
  settings.setInt32(host::kNewTexWidth, width);
  settings.setInt32(host::kNewTexHeight, height);
  if (channel == kChannelNormal) {
    settings.setInt32(host::kNewTexFillStyle, host::kFillStyleColor);
    settings.setVector(host::kNewTexFillColor, kFlatNormal);
  }
  const bool made = paint().createTexture(mat->document(), path, settings) != nullptr;
  // Without the new texture the channel links nothing, rather than a file it may have linked
  // before (a copied material links its source's files).
  const size_t slash = path.rfind('/');
  if (!made)
    linkChannelFile(ch, "", "");
  else if (slash == std::string::npos)
    linkChannelFile(ch, path, "");
  else
    linkChannelFile(ch, path.substr(slash + 1), path.substr(0, slash));
  return made;
}

host::TextureTag* createMaterialSet(host::Material* mat, host::Material* source, host::Tag* anchor,
                                    host::SelectionTag* selection, int32_t n,
                                    host::PolygonObject* obj, int32_t size, int32_t format,
                                    bool activate, int32_t tile, bool createTextures) {
  if (!obj || !mat || !selection) return nullptr;
  host::Document* doc = obj->document();
  if (!doc) return nullptr;
  mat->setName(obj->name() + (tile ? "_UDIM_" + std::to_string(tile) : "_UV_" + std::to_string(n)));
  if (createTextures) {
    auto make = [&](int32_t c) {
      mat->enableChannel(c, true);
      setTexturedColor(mat);
      createChannelTexture(mat, c, texturePath(obj, mat, c, format), format, size, size);
    };
    if (source) {
      for (int32_t c = 0; c < kChannelCount; ++c)
        if (source->channel(c) && source->channelEnabled(c) && paint().textureOf(source, c, doc))
          make(c);
    } else {
      make(kChannelColor);
    }
  }
  auto* tag = static_cast<host::TextureTag*>(obj->makeTag(host::kTypeTextureTag, anchor));
  if (!tag) return nullptr;
  doc->addUndo(host::kUndoNew, tag);
  tag->data().setInt32(host::kTexProjection, 6);
  tag->data().setBool(host::kTexTiling, true);
  tag->data().setString(host::kTexRestriction, selection->name());
  tag->setMaterial(mat);
  if (activate)
    if (host::PaintTexture* tex = paint().materialTexture(mat, doc))
      paint().painter().setSelectedTexture(tex);
  return tag;
}

bool createMaterialFromPolygons(host::UVWTag* uvw, host::PolygonObject* obj,
                                host::TextureTag* sourceTag, host::SelectionTag* sourceSelection,
                                int32_t size, int32_t format, host::Selection* output, bool udim) {
  if (!obj || !uvw) return false;
  host::Document* doc = obj->document();
  if (!doc) return false;
  const host::Value* modeValue = doc->data().find(host::kDocMode);
  const host::Value mode = modeValue ? *modeValue : host::Value();
  auto restoreMode = [&] {
    if (mode.type() != host::ValueType::kNone) doc->data().set(host::kDocMode, mode);
  };

  doc->addUndo(host::kUndoChange, uvw);
  doc->addUndo(host::kUndoChangeSelection, obj);
  if (sourceSelection) doc->addUndo(host::kUndoChange, sourceSelection);

  host::Material* source = sourceTag ? sourceTag->material() : nullptr;
  if (source && source->type() != host::kTypeMaterial) source = nullptr;
  // Nothing is changed yet when the memory for the polygon list or the old UVs is missing.
  HostArray<int32_t> polygons;
  HostArray<host::UVWPolygon> oldUVs;
  if (!selectedPolygons(obj, polygons) ||
      !oldUVs.assign(uvw->uvwArray(), static_cast<size_t>(uvw->count())))
    return false;

  int32_t n = 0;
  std::string name = uniqueSelectionName(obj, n);
  double oldU = 0, oldV = 0;
  if (sourceSelection) {
    int32_t number = 0;
    bool offsets = false;
    parseUdimName(sourceSelection->name(), number, oldU, oldV, offsets);
  }
  int32_t tile = 0;
  double tileU = 0, tileV = 0;
  if (udim) {
    tile = nextFreeUdimTile(obj);
    udimTileOffsets(tile, tileU, tileV);
    name = "UDIM_" + std::to_string(tile);
  }

  auto* sel = static_cast<host::SelectionTag*>(
      obj->makeTag(host::kTypePolygonSelectionTag, sourceSelection));
  if (!sel) return false;
  doc->addUndo(host::kUndoNew, sel);
  sel->setName(name);
  if (polygons.empty()) {
    sel->selection().selectAll(obj->polygonCount());
    if (output) output->selectAll(obj->polygonCount());
  }
  for (int32_t i : polygons) {
    sel->selection().select(i);
    if (output) output->select(i);
  }

  if (!polygons.empty()) {
    UVBounds bounds;
    for (int32_t i : polygons)
      if (i < uvw->count()) bounds.add(uvw->get(i));
    UVScale scale;
    if (!bounds.scaleFor(size, scale)) return false;
    for (int32_t i : polygons)
      if (i < uvw->count()) uvw->set(i, bounds.fill(uvw->get(i), scale, false, tileU, tileV));
  }

  host::Material* mat = source ? static_cast<host::Material*>(host::api().scene().cloneNode(source))
                               : host::api().scene().createMaterial(host::kTypeMaterial);
  if (!mat) return false;
  doc->insertMaterial(mat, nullptr);
  doc->addUndo(host::kUndoNew, mat);

  host::TextureTag* tag =
      createMaterialSet(mat, source, sourceTag, sel, n, obj, size, format, true, tile, true);
  if (!tag) return false;
  doc->addUndo(host::kUndoNew, tag);

  if (source)
    transferTexels(source, mat, obj, uvw, oldUVs, polygons, oldU, oldV, tileU, tileV, size, format);

  obj->message(host::kMessageUpdate, nullptr);
  restoreMode();
  host::api().events().update();
  return true;
}

}  // namespace pigmora
