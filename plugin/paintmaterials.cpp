#include "plugin/paintmaterials.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "host/binding.h"
#include "plugin/rast/falloff.h"

namespace pigmora {

namespace {
constexpr int32_t kUndoHookId = 1037022;
constexpr int32_t kTileSize = 64;
constexpr int32_t kWalkOvershoot = 2;  // pixels
PaintMaterialRegistry* gRegistry = nullptr;

bool isBitmapLayer(host::PaintBitmap* bmp) {
  return bmp && bmp->isInstanceOf(host::kTypeBitmapLayer);
}

// The current bitmap a channel exposes for painting: its texture's active layer.
host::PaintBitmap* channelBitmap(host::Material* mat, int32_t channel, host::Document* doc) {
  if (!mat->channel(channel)) return nullptr;
  host::PaintTexture* tex = host::api().paint().textureOf(mat, channel, doc);
  return tex ? tex->activeLayer() : nullptr;
}
}  // namespace

TileSaver* findTileSaver(host::Document* doc) {
  auto* hook = doc ? static_cast<host::HookNode*>(doc->sceneHook(kUndoHookId)) : nullptr;
  return hook ? dynamic_cast<TileSaver*>(hook->nodeData()) : nullptr;
}

bool parseUdimName(const std::string& name, int32_t& number, double& u, double& v,
                   bool& hasOffsets) {
  hasOffsets = false;
  const size_t at = name.find("UDIM_");
  if (at == std::string::npos) return false;
  const std::string digits = name.substr(at + 5, 8);
  number = static_cast<int32_t>(std::strtol(digits.c_str(), nullptr, 10));
  hasOffsets = udimTileOffsets(number, u, v);
  return true;
}

bool udimTileOffsets(int32_t number, double& u, double& v) {
  if (number <= 1000) return false;
  const int32_t column = number % 10 == 0 ? 10 : number % 10;
  u = column - 1;
  v = (number - 1001) / 10;
  return true;
}

// ---------------------------------------------------------------------------------------------
// PaintTarget

PaintTarget::PaintTarget() {
  for (int32_t i = 0; i < kChannelCount; ++i) primary[i] = secondary[i] = host::Vector();
}

PaintTarget::~PaintTarget() {
  freeArrays();
}

void PaintTarget::freeArrays() {
  host::destroyArray(dirtyRects);
  host::destroyArray(triangles);
  dirtyRects = nullptr;
  triangles = nullptr;
}

bool PaintTarget::allocateArrays() {
  freeArrays();
  dirtyRects = host::makeArray<DirtyRect>(static_cast<size_t>(kChannelCount) * tileCount);
  if (!dirtyRects) return false;
  for (int32_t t = 0; t < tileCount; ++t)
    for (int32_t c = 0; c < kChannelCount; ++c)
      if (channels[c]) dirty(c, t).reset();
  triangles = host::makeArray<RasterTriangle>(static_cast<size_t>(2 * kChannelCount) * tileCount);
  if (!triangles) return false;
  computeSameSize();
  return true;
}

void PaintTarget::computeSameSize() {
  sameSize = true;
  int32_t w = -1, h = -1;
  for (host::PaintBitmap* bmp : channels) {
    if (!bmp) continue;
    if (w < 0) {
      w = bmp->width();
      h = bmp->height();
    } else if (bmp->width() != w || bmp->height() != h) {
      sameSize = false;
    }
  }
}

int32_t PaintTarget::dirtyIndex(int32_t channel, int32_t tile) const {
  if (channel < 0 || tile < 0) return -1;
  return (channel + kChannelCount * tile) * 4;
}

int32_t PaintTarget::triangleIndex(int32_t channel) const {
  return channel < 0 ? -1 : 2 * channel;
}

void PaintTarget::subtractUdimOffset(host::Vector uv[4]) const {
  for (int i = 0; i < 4; ++i) {
    uv[i].x -= udimU;
    uv[i].y -= udimV;
  }
}

bool PaintTarget::hasAnyChannel() const {
  return std::any_of(std::begin(channels), std::end(channels),
                     [](auto* c) { return c != nullptr; });
}

void PaintTarget::parseUdim(const std::string& name) {
  bool hasOffsets = false;
  parseUdimName(name, udimNumber, udimU, udimV, hasOffsets);
}

bool PaintTarget::markTriangle(bool quad, const host::Vector uv[4], const host::Vector pos[4],
                               const float (*stamp)[2]) {
  const int corners = quad ? 4 : 3;
  for (int k = 0; k < corners; ++k)
    if (!std::isfinite(uv[k].x) || !std::isfinite(uv[k].y)) return false;
  if (!dirtyRects || !triangles) return false;

  host::Scene& scene = host::api().scene();
  TileSaver* saver = findTileSaver(scene.activeDocument());
  for (int32_t c = 0; c < kChannelCount; ++c) {
    host::PaintBitmap* bmp = channels[c];
    if (!bmp) continue;
    const int32_t w = bmp->width(), h = bmp->height();
    float px[4], py[4];
    for (int k = 0; k < 4; ++k) {
      px[k] = static_cast<float>(std::clamp(uv[k].x, 0.0, 1.0) * w);
      py[k] = static_cast<float>(std::clamp(uv[k].y, 0.0, 1.0) * h);
    }
    float loX = px[0], hiX = px[0], loY = py[0], hiY = py[0];
    for (int k = 1; k < corners; ++k) {
      loX = std::min(loX, px[k]);
      hiX = std::max(hiX, px[k]);
      loY = std::min(loY, py[k]);
      hiY = std::max(hiY, py[k]);
    }
    const int32_t xmin = static_cast<int32_t>(std::floor(loX));
    const int32_t xmax = static_cast<int32_t>(std::ceil(hiX));
    const int32_t ymin = static_cast<int32_t>(std::floor(loY));
    const int32_t ymax = static_cast<int32_t>(std::ceil(hiY));
    if (saver) {
      // The rasterisers' single-precision edge walk can run up to two pixels past the ends of a
      // long edge sideways (its rows are exact): save the tiles those pixels fall in too.
      const int32_t tx0 = std::clamp((xmin - kWalkOvershoot) / kTileSize * kTileSize, 0, w);
      const int32_t tx1 = std::clamp((xmax + kWalkOvershoot) / kTileSize * kTileSize, 0, w);
      const int32_t ty0 = std::clamp(ymin / kTileSize * kTileSize, 0, h);
      const int32_t ty1 = std::clamp(ymax / kTileSize * kTileSize, 0, h);
      for (int32_t ty = ty0; ty <= ty1 && ty != h; ty += kTileSize)
        for (int32_t tx = tx0; tx <= tx1 && tx != w; tx += kTileSize) saver->saveTile(bmp, tx, ty);
    }
    dirty(c).grow(xmin, ymin, xmax, ymax);

    const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < (quad ? 2 : 1); ++t) {
      RasterTriangle& tri = triangles[2 * c + t];
      for (int k = 0; k < 3; ++k) {
        const int src = order[t][k];
        RasterTriangle::Vertex& v = tri.v[k];
        v.x = px[src];
        v.y = py[src];
        v.sx = stamp ? stamp[src][0] : 0.f;
        v.sy = stamp ? stamp[src][1] : 0.f;
        v.px = pos[src].x;
        v.py = pos[src].y;
        v.pz = pos[src].z;
      }
    }
  }
  return true;
}

void PaintTarget::flushDirty() {
  if (!dirtyRects) return;
  for (int32_t c = 0; c < kChannelCount; ++c) {
    if (!channels[c]) continue;
    const DirtyRect& r = dirty(c);
    channels[c]->notifyChanged(r.xmin, r.ymin, r.xmax, r.ymax, host::kUpdateLayerChanged);
  }
}

// ---------------------------------------------------------------------------------------------
// PaintMaterialRegistry

PaintMaterialRegistry* PaintMaterialRegistry::instance() {
  if (gRegistry) return gRegistry;
  host::Link* geometry = host::make<host::Link>();
  host::Link* owner = host::make<host::Link>();
  if (geometry && owner) gRegistry = host::make<PaintMaterialRegistry>(geometry, owner);
  if (!gRegistry) {
    host::destroy(geometry);
    host::destroy(owner);
  }
  return gRegistry;
}

PaintMaterialRegistry* PaintMaterialRegistry::existing() {
  return gRegistry;
}

void PaintMaterialRegistry::shutdown() {
  host::destroy(gRegistry);
  gRegistry = nullptr;
}

PaintMaterialRegistry::PaintMaterialRegistry(host::Link* geometry, host::Link* tagOwner)
    : geometryLink_(geometry), tagOwnerLink_(tagOwner) {}

PaintMaterialRegistry::~PaintMaterialRegistry() {
  host::destroy(geometryLink_);
  host::destroy(tagOwnerLink_);
  dropAllTargets();
  freeSampledChannels();
  polygonMap_.clear();
}

void PaintMaterialRegistry::setSampledChannel(int32_t i, std::unique_ptr<host::Bitmap> bitmap) {
  if (i >= 0 && i < kChannelCount) sampled_[i] = std::move(bitmap);
  stampCache_.forget();
}

void PaintMaterialRegistry::freeSampledChannels() {
  for (auto& b : sampled_) b.reset();
  stampCache_.forget();
}

void PaintMaterialRegistry::dropAllTargets() {
  targets_.forEach([](host::Material*, PaintTarget* target) { host::destroy(target); });
  targets_.clear();
}

PaintTarget* PaintMaterialRegistry::targetForPolygon(int32_t polygon) const {
  if (polygon < 0 || static_cast<size_t>(polygon) >= polygonMap_.size()) return nullptr;
  host::Material* mat = polygonMap_[static_cast<size_t>(polygon)];
  if (!mat) return nullptr;
  PaintTarget* const* target = targets_.find(mat);
  return target ? *target : nullptr;
}

PaintTarget* PaintMaterialRegistry::targetForMaterial(host::Material* material) {
  if (PaintTarget** known = targets_.find(material); known && *known) return *known;
  PaintTarget* target = host::make<PaintTarget>();
  if (target) {
    target->material = material;
    target->materialLink.set(material);
    if (!target->allocateArrays()) {
      host::destroy(target);
      target = nullptr;
    }
  }
  // Without room in the map the target could never be found or freed: give it up.
  if (!targets_.insert(material, target)) {
    host::destroy(target);
    return nullptr;
  }
  return target;
}

void PaintMaterialRegistry::mapPolygon(int32_t polygon, host::Material* material) {
  if (polygon < 0) return;
  const size_t index = static_cast<size_t>(polygon);
  // Without memory for the map the polygon stays unmapped, and painting it is skipped.
  if (index >= polygonMap_.size() && !polygonMap_.resize(index + 1, nullptr)) return;
  polygonMap_[index] = material;
}

void PaintMaterialRegistry::bind(const ToolContext* tool, host::PolygonObject* geometry,
                                 host::Object* tagOwner) {
  if (!geometry) {
    geometryLink_->clear();
    tagOwnerLink_->clear();
    dropAllTargets();
    return;
  }
  updateMode_ = kTextureUpdateNever;
  if (tool && tool->settings)
    updateMode_ = tool->settings->getInt32(kSettingTextureUpdate, kTextureUpdateNever);

  host::PolygonObject* linked = this->geometry();
  bool topologyChanged = false;
  if (linked) {
    const int32_t points = geometry->pointCount(), polygons = geometry->polygonCount();
    if (points != pointCount_ || polygons != polygonCount_) {
      pointCount_ = points;
      polygonCount_ = polygons;
      topologyChanged = true;
    }
  }
  if (geometry != linked || topologyChanged) {
    geometryLink_->set(geometry);
    tagOwnerLink_->set(tagOwner);
    dropAllTargets();
    rebuild(tool, geometry, tagOwner);
  } else {
    refresh(tool, geometry, tagOwner);
  }
}

void PaintMaterialRegistry::rebuild(const ToolContext* tool, host::PolygonObject* geometry,
                                    host::Object* tagOwner) {
  const int32_t polygonCount = geometry->polygonCount();
  for (host::TextureTag* tag : textureTags(tagOwner)) {
    host::Material* mat = tag->material();
    if (!mat) continue;
    PaintTarget* target = targetForMaterial(mat);
    if (target) refreshTarget(target, mat, tool);
    const std::string restriction = tag->data().getString(host::kTexRestriction);
    if (!restriction.empty()) {
      if (target) target->parseUdim(restriction);
      for (host::SelectionTag* sel : selectionTags(geometry)) {
        if (sel->name() != restriction) continue;
        sel->selection().forEachIndex([&](int32_t i) {
          if (i < polygonCount) mapPolygon(i, mat);
        });
      }
    } else {
      for (int32_t i = 0; i < polygonCount; ++i) mapPolygon(i, mat);
    }
  }
}

void PaintMaterialRegistry::refresh(const ToolContext* tool, host::PolygonObject* geometry,
                                    host::Object* tagOwner) {
  if (targets_.empty()) {
    rebuild(tool, geometry, tagOwner);
    return;
  }
  size_t count = 0;
  for (host::TextureTag* tag : textureTags(tagOwner)) {
    host::Material* mat = tag->material();
    if (!mat) continue;
    PaintTarget** known = targets_.find(mat);
    if (!known || !*known) {
      dropAllTargets();
      rebuild(tool, geometry, tagOwner);
      return;
    }
    ++count;
  }
  if (count != targets_.size()) {
    dropAllTargets();
    rebuild(tool, geometry, tagOwner);
    return;
  }
  targets_.eraseIf([&](host::Material* mat, PaintTarget* target) {
    if (refreshTarget(target, mat, tool)) return false;
    host::destroy(target);
    return true;
  });
}

void PaintMaterialRegistry::copyToolSettings(PaintTarget& target, const ToolContext& tool) const {
  static const host::Settings kEmpty;
  const host::Settings& s = tool.settings ? *tool.settings : kEmpty;
  target.paintMode = (tool.dabFlags & kDabBlur) ? kPaintModeBlur : kPaintModeColor;
  const int32_t brushMode = s.getInt32(kSettingBrushMode);
  target.pointTest = brushMode == 4 || brushMode == 5 || brushMode == 6;
  target.wholePolygon = s.getBool(kSettingWholePolygon);
  target.stampOn = s.getBool(kSettingStampOn);
  target.stencilOn = s.getBool(kSettingStencilOn);
  target.stampAlpha = s.getBool(kSettingStampAlpha);
  if (target.stampOn) target.stampAlpha = 1;
  target.fixedStrength = s.getBool(kSettingFixedStrength);
  target.stampColor = s.getBool(kSettingStencilColor);
  target.perChannelStamps = s.getBool(kSettingPerChannelStamps);
  target.strength = target.fixedStrength ? s.getReal(kSettingFixedStrengthValue) : tool.strength;
  buildFalloffTable(target.falloff, target.falloffSignature, tool.settings, tool.radius);
}

bool PaintMaterialRegistry::refreshTarget(PaintTarget* target, host::Material* material,
                                          const ToolContext* tool) {
  if (!target || !material || !tool) return false;
  const int32_t requested = target->paintAllChannels ? -1 : activeChannelOfSelection();
  copyToolSettings(*target, *tool);
  return loadChannels(*target, material, tool->currentObject, requested);
}

bool PaintMaterialRegistry::loadChannels(PaintTarget& target, host::Material* material,
                                         host::Object* object, int32_t requested) {
  host::Document* doc = object ? object->document() : nullptr;
  if (!doc || !material) return false;
  host::PainterState& painter = host::api().paint().painter();
  target.paintAllChannels = painter.paintAllChannels() ? 1 : 0;
  if (requested >= 0) target.activeChannel = requested;

  bool filled = false;
  if (target.paintAllChannels) {
    for (int32_t i = 0; i < kChannelCount; ++i) {
      target.channels[i] = nullptr;
      if (!painter.channelEnabled(i)) continue;
      host::PaintBitmap* bmp = channelBitmap(material, i, doc);
      if (isBitmapLayer(bmp)) {
        target.channels[i] = bmp;
        target.activeChannel = i;
        filled = true;
      }
    }
  } else {
    std::fill(std::begin(target.channels), std::end(target.channels), nullptr);
    if (requested < 0) {
      host::PaintTexture* selected = painter.selectedTexture();
      for (int32_t i = 0; selected && i < kChannelCount && !filled; ++i) {
        if (!material->channel(i)) continue;
        if (host::api().paint().textureOf(material, i, doc) != selected) continue;
        host::PaintBitmap* bmp = selected->activeLayer();
        if (!isBitmapLayer(bmp)) continue;
        target.channels[i] = bmp;
        target.activeChannel = i;
        filled = true;
      }
    } else if (requested < kChannelCount) {
      host::PaintBitmap* bmp = channelBitmap(material, requested, doc);
      if (isBitmapLayer(bmp)) {
        target.channels[requested] = bmp;
        filled = true;
      }
    }
  }
  if (!filled) {
    host::PaintTexture* selected = painter.selectedTexture();
    host::PaintBitmap* bmp = selected ? selected->activeLayer() : nullptr;
    if (!isBitmapLayer(bmp)) return false;
    target.channels[0] = bmp;
    target.activeChannel = 0;
  }

  for (int32_t i = 0; i < kChannelCount; ++i) {
    if (!target.paintAllChannels && i != target.activeChannel) continue;
    host::Vector color;
    double brightness = 1.0;
    target.primary[i] =
        painter.color(0, i, color, brightness) ? color * brightness : host::Vector(1, 0, 0);
    brightness = 1.0;
    target.secondary[i] =
        painter.color(1, i, color, brightness) ? color * brightness : host::Vector(1, 0, 0);
  }
  return target.allocateArrays();
}

void PaintMaterialRegistry::updateAllStrength(const ToolContext& tool) {
  targets_.forEach([&tool](host::Material*, PaintTarget* target) {
    if (!target) return;
    if (target->fixedStrength && tool.settings)
      target->strength = tool.settings->getReal(kSettingFixedStrengthValue);
    else
      target->strength = std::clamp(tool.strength, 0.0, 1.0);
    target->falloff.centre[0] = static_cast<float>(tool.centre.x);
    target->falloff.centre[1] = static_cast<float>(tool.centre.y);
    target->falloff.centre[2] = static_cast<float>(tool.centre.z);
    if (static_cast<float>(tool.radius) != target->falloff.radius) target->falloff.enabled = 0;
  });
}

void PaintMaterialRegistry::flushAll() {
  targets_.forEach([](host::Material*, PaintTarget* target) {
    if (target) target->flushDirty();
  });
}

int32_t PaintMaterialRegistry::activeChannelOfSelection() const {
  host::PaintTexture* selected = host::api().paint().painter().selectedTexture();
  if (!selected) return -1;
  host::Document* doc = host::api().scene().activeDocument();
  if (!doc) return 0;
  int32_t found = -1;
  targets_.forEach([&](host::Material*, PaintTarget* target) {
    host::Material* m = target ? target->materialLink.getAs<host::Material>() : nullptr;
    if (!m || found >= 0) return;
    for (int32_t i = 0; i < kChannelCount && found < 0; ++i)
      if (m->channel(i) && host::api().paint().textureOf(m, i, doc) == selected) found = i;
  });
  return found;
}

void PaintMaterialRegistry::updateTextures() {
  host::Document* doc = host::api().scene().activeDocument();
  if (!doc) return;
  host::forEachObject(doc->firstObject(), [](host::Object* o) {
    o->setDirty(host::kDirtyAll);
    o->message(host::kMessageUpdate, nullptr);
  });
  host::api().events().update();
}

}  // namespace pigmora
