#include "lib/gui/uvdecoration.h"

#include "host/binding.h"
#include "lib/bresenham.h"
#include "lib/gui/viewarea.h"
#include "lib/uv_outline.h"
#include "plugin/paintmaterials.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstring>
#include <vector>

namespace pigmora {

namespace {
constexpr int32_t kIdleMs = 10;

struct Tile {
  int32_t number = 0;  // 0: no tile, nothing is subtracted
  double u = 0.0, v = 0.0;
};

// The UDIM tile named by a selection tag, or none.
Tile tileOf(host::SelectionTag* tag) {
  Tile t;
  if (!tag) return t;
  int32_t number = 0;
  bool offsets = false;
  double u = 0.0, v = 0.0;
  if (parseUdimName(tag->name(), number, u, v, offsets) && offsets) t = {number, u, v};
  return t;
}
}  // namespace

bool isPolygonMode(int32_t mode) {
  return mode == 7 || mode == 11 || mode == 12 || mode == 14;
}

UVDecoration::UVDecoration(host::PolygonObject* obj, host::TextureTag* tag, host::UVWTag* uvw,
                           host::SelectionTag* selectionTag, const host::Selection* selection)
    : DecorationElement(kDecorationUV) {
  object_.set(obj);
  tag_.set(tag);
  uvw_.set(uvw);
  selectionTag_.set(selectionTag);
  if (selection) selection_ = *selection;
  setSize(width_, height_);
}

UVDecoration::~UVDecoration() = default;

void PickMapsRelease::operator()(PickMaps* maps) const {
  host::destroy(maps);
}

host::PolygonObject* UVDecoration::object() const {
  host::Node* n = object_.get();
  return n && n->type() == host::kTypePolygonObject ? static_cast<host::PolygonObject*>(n)
                                                    : nullptr;
}

void UVDecoration::setSize(int32_t width, int32_t height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  host::Host* h = host::bound();
  clip_ = h ? h->paint().createBitmap() : nullptr;
  if (clip_ && !clip_->init(width_, height_, 32)) clip_.reset();
}

const host::Selection* UVDecoration::restriction(bool& restricted) const {
  if (auto* tag = selectionTag_.getAs<host::SelectionTag>()) {
    restricted = true;
    return &tag->selection();
  }
  restricted = !selection_.empty();
  return restricted ? &selection_ : nullptr;
}

void UVDecoration::adoptMaps(std::vector<PickMapsPtr>& kept) {
  for (PickMapsPtr& m : kept) {
    if (!m || m->object.get() != object_.get() || m->tag.get() != tag_.get() ||
        m->uvw.get() != uvw_.get() || m->selectionTag.get() != selectionTag_.get())
      continue;
    maps_ = std::move(m);
    return;
  }
}

uint64_t UVDecoration::fingerprint(host::PolygonObject* obj) const {
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  auto add = [&state](const void* data, size_t bytes) {
    if (bytes) XXH3_64bits_update(&state, data, bytes);
  };
  auto addValue = [&add](const auto& v) { add(&v, sizeof v); };
  const int32_t count = obj->polygonCount(), points = obj->pointCount();
  addValue(count);
  addValue(points);
  add(obj->polygons(), sizeof(host::Polygon) * static_cast<size_t>(std::max(count, 0)));
  if (auto* uvw = uvw_.getAs<host::UVWTag>()) {
    const int32_t uvs = uvw->count();
    addValue(uvs);
    add(uvw->uvwArray(), sizeof(host::UVWPolygon) * static_cast<size_t>(std::max(uvs, 0)));
  }
  bool restricted = false;
  if (const host::Selection* set = restriction(restricted))
    for (const host::Selection::Segment& seg : set->segments()) addValue(seg);
  if (auto* selTag = selectionTag_.getAs<host::SelectionTag>()) {
    const std::string name = selTag->name();
    add(name.data(), name.size());
  }
  // Islands do not cross from one material to another.
  for (host::TextureTag* t : textureTags(obj)) {
    const host::Material* mat = t->material();
    addValue(mat);
    const std::string restriction = t->data().getString(host::kTexRestriction);
    add(restriction.data(), restriction.size());
  }
  return XXH3_64bits_digest(&state);
}

PickMaps* UVDecoration::pickMaps(host::PolygonObject* obj) {
  const uint64_t now = fingerprint(obj);
  if (dirty() || maps_->fingerprint != now) buildMaps(obj, now);
  return maps_.get();
}

void UVDecoration::buildMaps(host::PolygonObject* obj, uint64_t fingerprint) {
  if (!maps_) maps_.reset(host::make<PickMaps>());
  if (!maps_) return;
  PickMaps& m = *maps_;
  m.object.set(obj);
  m.tag = tag_;
  m.uvw = uvw_;
  m.selectionTag = selectionTag_;
  m.width = width_;
  m.height = height_;
  m.fingerprint = fingerprint;
  auto* uvw = uvw_.getAs<host::UVWTag>();
  auto* selTag = selectionTag_.getAs<host::SelectionTag>();
  bool restricted = false;
  const host::Selection* set = restriction(restricted);
  m.polygonMap.build(obj, width_, height_, selTag, uvw, selTag ? nullptr : set);
  m.islandMap.reset(obj, width_, height_);
  m.islands.clear();
  ++m.builds;
  if (!uvw) return;
  std::unique_ptr<host::Neighbour> neighbour = host::api().scene().buildNeighbour(obj, set);
  findUVIslands(m.islands, uvw, obj, neighbour.get(), set, tag_.getAs<host::TextureTag>());
  const Tile tile = tileOf(selTag);
  const host::Polygon* polys = obj->polygons();
  const int32_t count = obj->polygonCount();
  for (size_t k = 0; k < m.islands.size(); ++k) {
    for (int32_t p : m.islands[k]->polygons)
      m.islandMap.rasterisePolygon(p, polys, count, uvw, width_, height_, k + 1, tile.number,
                                   static_cast<float>(tile.u), static_cast<float>(tile.v));
  }
}

void UVDecoration::outline(uint8_t* pixels, const host::Polygon* polygons,
                           const host::UVWPolygon* uvs, int32_t polygon, double du, double dv,
                           const uint8_t (&argb)[4]) const {
  const host::Polygon& p = polygons[polygon];
  const int32_t w = width_, h = height_;
  forEachUVEdgePixel(uvs[polygon], p.c != p.d, du, dv, w, h, [&](int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    std::memcpy(pixels + (static_cast<size_t>(y) * w + x) * 4, argb, 4);
  });
}

void UVDecoration::draw(ViewAreaBase& area, host::Bitmap* preview, const host::UiRect& cell) {
  host::PolygonObject* obj = object();
  if (!obj) return;
  bool restricted = false;
  const host::Selection* set = restriction(restricted);
  auto* selTag = selectionTag_.getAs<host::SelectionTag>();
  auto* uvw = uvw_.getAs<host::UVWTag>();
  if (!uvw || uvw->count() != obj->polygonCount() || !clip_) return;

  // The picture is put together in one buffer, shared by every cell, and goes into the clip
  // bitmap a row at a time: dense meshes outline hundreds of thousands of edge pixels.
  static std::vector<uint8_t> buffer;
  const size_t rowBytes = static_cast<size_t>(width_) * 4;
  buffer.resize(rowBytes * static_cast<size_t>(height_));
  uint8_t* pixels = buffer.data();
  if (preview && preview->width() > 0 && preview->height() > 0) {
    const int32_t pw = preview->width(), ph = preview->height();
    std::vector<uint8_t> src(static_cast<size_t>(pw) * 3);
    int32_t loaded = -1;
    for (int32_t j = 0; j < height_; ++j) {
      const int32_t sy = static_cast<int32_t>(int64_t{j} * ph / height_);
      if (sy != loaded) {
        preview->getPixelRow(0, sy, pw, src.data(), host::kModeRGB8);
        loaded = sy;
      }
      uint8_t* o = pixels + static_cast<size_t>(j) * rowBytes;
      for (int32_t i = 0; i < width_; ++i, o += 4) {
        const size_t sx = static_cast<size_t>(int64_t{i} * pw / width_) * 3;
        o[0] = 255;
        o[1] = src[sx];
        o[2] = src[sx + 1];
        o[3] = src[sx + 2];
      }
    }
  } else {
    static constexpr uint8_t kRed[4] = {255, 255, 0, 0};
    for (size_t k = 0; k < buffer.size(); k += 4) std::memcpy(pixels + k, kRed, 4);
  }

  static constexpr uint8_t kBlack[4] = {255, 0, 0, 0}, kYellow[4] = {255, 255, 255, 0};
  host::Document* doc = obj->document();
  const bool polygonMode = doc && isPolygonMode(doc->data().getInt32(host::kDocMode));
  const Tile tile = tileOf(selTag);
  const int32_t count = obj->polygonCount();
  const host::Polygon* polys = obj->polygons();
  const host::UVWPolygon* uvs = uvw->uvwArray();
  host::Selection& selected = obj->polygonSelection();
  if (!restricted) {
    for (int32_t i = 0; i < count; ++i) outline(pixels, polys, uvs, i, 0.0, 0.0, kBlack);
    if (polygonMode)
      for (const host::Selection::Segment& seg : selected.segments())
        for (int32_t i = seg.first; i <= seg.last && i < count; ++i)
          outline(pixels, polys, uvs, i, 0.0, 0.0, kYellow);
  } else if (polygonMode) {
    const std::vector<int32_t> members = set->indices();
    for (int32_t i : members)
      if (i < count && !selected.isSelected(i))
        outline(pixels, polys, uvs, i, tile.u, tile.v, kBlack);
    for (int32_t i : members)
      if (i < count && selected.isSelected(i))
        outline(pixels, polys, uvs, i, tile.u, tile.v, kYellow);
  }
  for (int32_t j = 0; j < height_; ++j)
    clip_->setPixelRow(0, j, width_, pixels + static_cast<size_t>(j) * rowBytes, host::kModeARGB8);
  area.drawBitmap(*clip_, cell.x1, cell.y1, width_, height_);
}

void UVDecoration::pick(host::PolygonObject* obj, int32_t x, int32_t y, int32_t qualifiers) {
  if (x < 0 || y < 0 || !maps_) return;
  const PickMaps& m = *maps_;
  host::Selection& sel = obj->polygonSelection();
  const bool deselect = (qualifiers & host::kQualCtrl) != 0;
  auto apply = [&](int32_t polygon) {
    if (deselect)
      sel.deselect(polygon);
    else
      sel.select(polygon);
  };
  if (qualifiers & host::kQualAlt) {
    const uint64_t island = m.islandMap.get(x, y);
    if (island > 0 && island <= m.islands.size())
      for (int32_t p : m.islands[island - 1]->polygons) apply(p);
    return;
  }
  const uint64_t v = m.polygonMap.get(x, y);
  if (v > 0 && v <= static_cast<uint64_t>(obj->polygonCount())) apply(static_cast<int32_t>(v - 1));
}

bool UVDecoration::click(ViewAreaBase& area, const CellClick& at) {
  const host::InputEvent& event = *at.event;
  if (event.channel != host::kMouseLeft) return false;
  host::PolygonObject* obj = object();
  host::Document* doc = obj ? obj->document() : nullptr;
  if (!doc) return false;
  // The maps serve picking alone: they are built when a click first needs them after the size
  // changed, so that cells built again and again by the view's change tracking cost no map.
  PickMaps* maps = pickMaps(obj);
  host::Events& events = host::api().events();
  doc->startUndo();
  doc->addUndo(host::kUndoChangeSelection, obj);
  host::Selection& sel = obj->polygonSelection();
  if (!(event.qualifiers & (host::kQualShift | host::kQualCtrl))) sel.deselectAll();
  pick(obj, at.localX, at.localY, event.qualifiers);
  if (event.doubleClick) {
    const bool deselect = (event.qualifiers & host::kQualCtrl) != 0;
    if (maps)
      for (const UVIsland* island : maps->islands)
        for (int32_t p : island->polygons) deselect ? sel.deselect(p) : sel.select(p);
  } else {
    // Follow the mouse while the button is held: every pixel on the way is picked.
    int32_t px = at.localX, py = at.localY;
    host::MouseState m;
    while (area.pollMouse(m) && m.held) {
      const int32_t x = m.x - at.originX, y = m.y - at.originY;
      if (x == px && y == py) {
        area.idle(kIdleMs);
        continue;
      }
      forEachLinePixel(px, py, x, y, width_, height_,
                       [&](int32_t a, int32_t b) { pick(obj, a, b, m.qualifiers); });
      px = x;
      py = y;
      area.redraw();
      events.drawViews(host::kDrawFlagsFull);
    }
  }
  area.redraw();
  events.drawViews(host::kDrawFlagsFull);
  doc->endUndo();
  return true;
}

}  // namespace pigmora
