#include "plugin/fill/floodlayers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "host/binding.h"
#include "lib/bleed.h"
#include "lib/host_array.h"
#include "plugin/paintundo.h"
#include "plugin/preferences.h"
#include "plugin/rast/rasterize.h"
#include "plugin/uvislands.h"

namespace pigmora {

namespace {
constexpr int32_t kModePolygons = 7;
constexpr int32_t kDefaultBleedWidth = 10;
// Each fill-UV-islands run seeds its colours from this counter, so no two runs look alike.
uint32_t gIslandSeed = 0;

bool isBitmapLayer(host::PaintBitmap* b) {
  return b && b->isInstanceOf(host::kTypeBitmapLayer);
}

host::PaintBitmap* activeBitmapLayer(host::Material* mat, int32_t channel, host::Document* doc) {
  if (!mat || !mat->channel(channel)) return nullptr;
  host::PaintTexture* tex = host::api().paint().textureOf(mat, channel, doc);
  host::PaintBitmap* layer = tex ? tex->activeLayer() : nullptr;
  return isBitmapLayer(layer) ? layer : nullptr;
}

bool channelPaintable(const PaintTarget& t, int32_t c) {
  return c >= 0 && !(c & kChannelSkipBit) && c < kChannelCount && t.sameSize;
}

// Reads polygon i's corners and UVs (shifted to the target's tile); false for bad data.
bool polygonData(host::PolygonObject* obj, host::UVWTag* uvw, int32_t i, const PaintTarget& t,
                 bool& quad, host::Vector uv[4], host::Vector pos[4]) {
  if (i < 0 || i >= obj->polygonCount() || i >= uvw->count()) return false;
  const host::Polygon& p = obj->polygons()[i];
  for (int k = 0; k < 4; ++k) {
    if (p.corner(k) < 0 || p.corner(k) >= obj->pointCount()) return false;
    pos[k] = obj->points()[p.corner(k)];
  }
  const host::UVWPolygon u = uvw->get(i);
  for (int k = 0; k < 4; ++k) uv[k] = u.corner(k);
  if (t.udimNumber > 1000) t.subtractUdimOffset(uv);
  quad = !p.isTriangle();
  return true;
}

// Sets up polygon i in the target and fills it flat in channel c.
void fillPolygonFlat(PaintTarget& t, host::PolygonObject* obj, host::UVWTag* uvw, int32_t i,
                     int32_t c) {
  bool quad = false;
  host::Vector uv[4], pos[4];
  if (!polygonData(obj, uvw, i, t, quad, uv, pos) || !t.markTriangle(quad, uv, pos)) return;
  if (!channelPaintable(t, c)) return;
  rasterize_flat(nullptr, t, c, 2 * c);
  if (quad) rasterize_flat(nullptr, t, c, 2 * c + 1);
}

host::UVWTag* uvwTagOf(host::PolygonObject* obj) {
  return obj ? static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)) : nullptr;
}

void bleedTexture(host::PaintTexture* tex, host::SelectionTag* sel, host::PolygonObject* obj,
                  int64_t distance, bool activeLayerOnly) {
  if (activeLayerOnly) {
    host::PaintBitmap* layer = tex->activeLayer();
    if (isBitmapLayer(layer)) {
      BleedLayer(layer, sel, obj, distance);
      layer->layerChanged(0);
    }
    return;
  }
  for (host::PaintBitmap* layer = tex->firstLayer(); layer;) {
    if (isBitmapLayer(layer)) {
      BleedLayer(layer, sel, obj, distance);
      layer->layerChanged(0);
    }
    host::PaintBitmap* next = layer->next();
    if (!next || next == tex || !next->isInstanceOf(host::kTypePaintLayer)) break;
    layer = next;
  }
}

host::PolygonObject* firstSelectedPolygonObject(host::Document* doc) {
  for (host::Object* o : doc->selectedObjects())
    if (o->type() == host::kTypePolygonObject) return static_cast<host::PolygonObject*>(o);
  return nullptr;
}

int64_t commandBleedDistance() {
  host::Settings* prefs = preferencesContainer();
  return prefs ? prefs->getInt32(kPrefBleedWidth, 0) : kDefaultBleedWidth;
}
}  // namespace

void bleedObject(host::PolygonObject* obj, int64_t distance, bool activeLayerOnly) {
  if (!obj) return;
  host::Events& events = host::api().events();
  host::Document* doc = obj->document();
  for (host::TextureTag* tag : textureTags(obj)) {
    host::Material* mat = tag->material();
    if (!mat) continue;
    host::SelectionTag* sel = restrictionSelectionTag(obj, tag);
    for (int32_t c = 0; c < kChannelCount; ++c) {
      events.statusSetText(std::string("Bleeding Channel: ") + channelKey(c));
      if (!mat->channel(c)) continue;
      host::PaintTexture* tex = host::api().paint().textureOf(mat, c, doc);
      if (tex) bleedTexture(tex, sel, obj, distance, activeLayerOnly);
    }
  }
  events.statusClear();
}

void fillUVIslands(host::PolygonObject* obj) {
  host::UVWTag* uvw = uvwTagOf(obj);
  if (!uvw) return;
  std::unique_ptr<host::Neighbour> neighbour = host::api().scene().buildNeighbour(obj, nullptr);
  UVIslandList islands;
  findUVIslands(islands, uvw, obj, neighbour.get(), nullptr, nullptr);
  IslandColorGenerator gen;
  gen.seed(gIslandSeed++);
  host::Document* doc = obj->document();
  for (const UVIsland* island : islands) {
    host::Material* mat = island->material.getAs<host::Material>();
    for (host::TextureTag* tag : textureTags(obj)) {
      if (mat) break;
      if (tag->material() && tag->data().getString(host::kTexRestriction).empty())
        mat = tag->material();
    }
    if (!mat) continue;
    PaintTarget* t = host::make<PaintTarget>();
    if (!t) return;
    t->paintAllChannels = 1;
    t->strength = 1.0;
    t->parseUdim(mat->name());
    for (int32_t c = 0; c < kChannelCount; ++c) {
      const double d1 = gen.draw(), d2 = gen.draw(), d3 = gen.draw();
      t->primary[c] = {d3, d2, d1};
      t->channels[c] = activeBitmapLayer(mat, c, doc);
    }
    if (t->allocateArrays()) {
      for (int32_t k = 0; k < kChannelCount; ++k) {
        if (!t->channels[k]) continue;
        for (int32_t p : island->polygons) fillPolygonFlat(*t, obj, uvw, p, k);
      }
      t->flushDirty();
    }
    host::destroy(t);
  }
}

void FloodLayers(host::PolygonObject* obj, int32_t mode, double strength, int32_t selectedOnly,
                 double distance, int32_t activeLayerOnly) {
  (void)strength;
  (void)selectedOnly;
  if (!obj) return;
  if (mode == kFloodBleed) {
    const int64_t d = std::isfinite(distance) ? static_cast<int64_t>(distance) : 0;
    bleedObject(obj, d, activeLayerOnly != 0);
  } else if (mode == kFloodFillIslands) {
    fillUVIslands(obj);
  }
}

bool runFloodCommand(host::Document* doc, int32_t mode) {
  if (!doc || !findUndoStore(doc)) return false;
  host::PolygonObject* obj = firstSelectedPolygonObject(doc);
  if (!obj) return false;
  beginStep(doc);
  FloodLayers(obj, mode, 1.0, 1, static_cast<double>(commandBleedDistance()), 0);
  endStep(doc);
  host::api().events().update();
  return true;
}

void fillPolygons(host::PolygonObject* obj, host::Material* mat, int32_t channel,
                  const host::Selection* selection) {
  host::UVWTag* uvw = uvwTagOf(obj);
  if (!obj || !mat || !uvw) return;
  PaintMaterialRegistry* registry = PaintMaterialRegistry::instance();
  PaintTarget* t = registry ? host::make<PaintTarget>() : nullptr;
  if (!t) return;
  t->strength = 1.0;
  t->material = mat;
  t->materialLink.set(mat);
  for (host::TextureTag* tag : textureTags(obj)) {
    if (tag->material() != mat) continue;
    const std::string restriction = tag->data().getString(host::kTexRestriction);
    int32_t number = 0;
    double u = 0, v = 0;
    bool offsets = false;
    if (!restriction.empty() && parseUdimName(restriction, number, u, v, offsets) && offsets) {
      t->udimNumber = number;
      t->udimU = u;
      t->udimV = v;
      break;
    }
  }
  if (registry->loadChannels(*t, mat, obj, channel)) {
    const host::Selection& own = obj->polygonSelection();
    for (int32_t i = 0; i < obj->polygonCount(); ++i) {
      if (selection && !selection->empty() && !selection->isSelected(i)) continue;
      if (!own.empty() && !own.isSelected(i)) continue;
      fillPolygonFlat(*t, obj, uvw, i, channel);
    }
    t->flushDirty();
  }
  host::destroy(t);
}

void fillCurrentLayer(host::Document* doc) {
  if (!doc) return;
  doc->startUndo();
  beginStep(doc);
  host::Object* active = doc->activeObject();
  if (active && active->type() == host::kTypePolygonObject) {
    host::Paint& paint = host::api().paint();
    for (host::TextureTag* tag : textureTags(active)) {
      host::Material* mat = tag->material();
      if (!mat) continue;
      std::unique_ptr<host::Bitmap> work = paint.createBitmap();
      doc->addUndo(host::kUndoChange, mat);
      for (int32_t c = 0; work && c < kChannelCount; ++c) {
        host::PaintBitmap* layer = activeBitmapLayer(mat, c, doc);
        if (!layer) continue;
        if (PaintUndoStore* store = findUndoStore(doc)) store->saveBitmap(layer);
        host::Vector color;
        double brightness = 1.0;
        if (!paint.painter().color(0, c, color, brightness)) continue;
        if ((work->width() != layer->width() || work->height() != layer->height()) &&
            !work->init(layer->width(), layer->height(), 24))
          continue;
        // The painter's colour without its brightness, truncated to 8 bits: the 24-bit work
        // bitmap holds it, and the host converts it into the layer's mode.
        auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255); };
        work->clear(byte(color.x), byte(color.y), byte(color.z));
        paint.replaceLayerPixels(layer, *work);
        layer->layerChanged(0);
      }
    }
  }
  endStep(doc);
  doc->endUndo();
  host::api().events().drawViews(host::kDrawFlagsFull);
  host::api().events().update();
}

void fillCurrentLayerUVs(host::Document* doc) {
  if (!doc) return;
  doc->startUndo();
  beginStep(doc);
  host::Object* active = doc->activeObject();
  if (active && active->type() == host::kTypePolygonObject) {
    auto* obj = static_cast<host::PolygonObject*>(active);
    for (host::TextureTag* tag : textureTags(obj)) {
      host::Material* mat = tag->material();
      if (!mat) continue;
      doc->addUndo(host::kUndoChange, mat);
      host::SelectionTag* sel = restrictionSelectionTag(obj, tag);
      for (int32_t c = 0; c < kChannelCount; ++c)
        if (activeBitmapLayer(mat, c, doc))
          fillPolygons(obj, mat, c, sel ? &sel->selection() : nullptr);
    }
  }
  endStep(doc);
  doc->endUndo();
  host::api().events().drawViews(host::kDrawFlagsFull);
  host::api().events().update();
}

bool polygonFill(const PolygonFillInput& in) {
  host::PolygonObject* obj = in.object;
  PaintTarget* t = in.target;
  host::UVWTag* uvw = uvwTagOf(obj);
  if (!obj || !t || !uvw || in.startPolygon < 0 || in.startPolygon >= obj->polygonCount())
    return true;
  const int32_t pointCount = obj->pointCount(), count = obj->polygonCount();
  const host::Vector* pts = obj->points();
  const host::Polygon* polys = obj->polygons();
  std::unique_ptr<host::Neighbour> adjacency = host::api().scene().buildNeighbour(obj, nullptr);
  if (!adjacency) return true;
  // Unit normals in single precision, one per polygon.
  auto normalOf = [&](int32_t i, float n[3]) {
    const host::Polygon& p = polys[i];
    n[0] = n[1] = n[2] = 0.f;
    for (int k = 0; k < 4; ++k)
      if (p.corner(k) < 0 || p.corner(k) >= pointCount) return;
    const host::Vector a = pts[p.a], b = pts[p.b], c = pts[p.c], d = pts[p.d];
    const host::Vector v = p.isTriangle() ? host::cross(b - a, c - a) : host::cross(c - a, d - b);
    const host::Vector u = host::normalize(v);
    n[0] = static_cast<float>(u.x);
    n[1] = static_cast<float>(u.y);
    n[2] = static_cast<float>(u.z);
  };
  const double angle = in.settings ? in.settings->getReal(kSettingFillAngle) : 0.0;
  const bool across = in.settings && in.settings->getBool(kSettingFillAcross);
  const double c = std::cos(angle);
  const host::Document* doc = obj->document();
  const bool onlySelected =
      in.selectedOnly && doc && doc->data().getInt32(host::kDocMode) == kModePolygons;

  float start[3];
  normalOf(in.startPolygon, start);
  const int32_t first = polys[in.startPolygon].a;
  if (first < 0 || first >= pointCount) return true;
  // The stack never holds more than the point count (the walk stops before), so everything is
  // allocated before the first pixel is painted: without the memory the fill paints nothing.
  HostArray<uint8_t> visitedPolygon, visitedPoint;
  HostArray<int32_t> stack;
  if (!visitedPolygon.assign(static_cast<size_t>(count), 0) ||
      !visitedPoint.assign(static_cast<size_t>(pointCount), 0) ||
      !stack.reserve(static_cast<size_t>(pointCount)))
    return true;
  stack.push(first);
  const int32_t active = t->activeChannel;
  while (!stack.empty()) {
    const int32_t p = stack.pop();
    for (int32_t q : adjacency->pointPolygons(p)) {
      float n[3];
      normalOf(q, n);
      // Normals normalised in single precision can dot to a hair above 1; two unit normals
      // must never pass at angle 0.
      const double d =
          std::clamp(static_cast<double>(n[0]) * start[0] + static_cast<double>(n[1]) * start[1] +
                         static_cast<double>(n[2]) * start[2],
                     -1.0, 1.0);
      const bool accepted = across ? (-c <= d && d <= c) : d > c;
      if (!accepted) continue;
      if (!visitedPolygon[static_cast<size_t>(q)]) {
        visitedPolygon[static_cast<size_t>(q)] = 1;
        if (!(onlySelected && !obj->polygonSelection().isSelected(q)))
          fillPolygonFlat(*t, obj, uvw, q, active);
      }
      const host::Polygon& poly = polys[q];
      for (int k = 0; k < 4; ++k) {
        const int32_t corner = poly.corner(k);
        if (corner < 0 || corner >= pointCount || visitedPoint[static_cast<size_t>(corner)])
          continue;
        visitedPoint[static_cast<size_t>(corner)] = 1;
        if (static_cast<int32_t>(stack.size()) + 1 >= pointCount) return false;
        stack.push(corner);
      }
    }
  }
  t->flushDirty();
  return true;
}

}  // namespace pigmora
