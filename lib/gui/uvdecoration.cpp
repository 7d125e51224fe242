#include "lib/gui/uvdecoration.h"

#include <vector>

#include "host/binding.h"
#include "lib/bresenham.h"
#include "lib/gui/viewarea.h"
#include "lib/uv_outline.h"
#include "plugin/paintmaterials.h"

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
  dirty_ = true;
}

const host::Selection* UVDecoration::restriction(bool& restricted) const {
  if (auto* tag = selectionTag_.getAs<host::SelectionTag>()) {
    restricted = true;
    return &tag->selection();
  }
  restricted = !selection_.empty();
  return restricted ? &selection_ : nullptr;
}

void UVDecoration::buildMaps(host::PolygonObject* obj) {
  auto* uvw = uvw_.getAs<host::UVWTag>();
  auto* selTag = selectionTag_.getAs<host::SelectionTag>();
  bool restricted = false;
  const host::Selection* set = restriction(restricted);
  polygonMap_.build(obj, width_, height_, selTag, uvw, selTag ? nullptr : set);
  islandMap_.reset(obj, width_, height_);
  islands_.clear();
  ++mapBuilds_;
  if (!uvw) return;
  std::unique_ptr<host::Neighbour> neighbour = host::api().scene().buildNeighbour(obj, set);
  findUVIslands(islands_, uvw, obj, neighbour.get(), set, tag_.getAs<host::TextureTag>());
  const Tile tile = tileOf(selTag);
  const host::Polygon* polys = obj->polygons();
  const int32_t count = obj->polygonCount();
  for (size_t k = 0; k < islands_.size(); ++k) {
    for (int32_t p : islands_[k].polygons)
      islandMap_.rasterisePolygon(p, polys, count, uvw, width_, height_, k + 1, tile.number,
                                  static_cast<float>(tile.u), static_cast<float>(tile.v));
  }
}

void UVDecoration::outline(host::PolygonObject* obj, host::UVWTag* uvw, int32_t polygon, double du,
                           double dv, uint8_t r, uint8_t g, uint8_t b) {
  const host::Polygon& p = obj->polygons()[polygon];
  forEachUVEdgePixel(uvw->get(polygon), p.c != p.d, du, dv, width_, height_,
                     [&](int32_t x, int32_t y) { clip_->setPixel(x, y, r, g, b); });
}

void UVDecoration::draw(ViewAreaBase& area, host::Bitmap* preview, const host::UiRect& cell) {
  host::PolygonObject* obj = object();
  if (!obj) return;
  bool restricted = false;
  const host::Selection* set = restriction(restricted);
  auto* selTag = selectionTag_.getAs<host::SelectionTag>();
  auto* uvw = uvw_.getAs<host::UVWTag>();
  if (!uvw || uvw->count() != obj->polygonCount() || !clip_) return;

  clip_->clear(255, 0, 0);
  if (preview && preview->width() > 0 && preview->height() > 0) {
    const int32_t pw = preview->width(), ph = preview->height();
    std::vector<uint8_t> src(static_cast<size_t>(pw) * 3), row(static_cast<size_t>(width_) * 4);
    int32_t loaded = -1;
    for (int32_t j = 0; j < height_; ++j) {
      const int32_t sy = static_cast<int32_t>(int64_t{j} * ph / height_);
      if (sy != loaded) {
        preview->getPixelRow(0, sy, pw, src.data(), host::kModeRGB8);
        loaded = sy;
      }
      for (int32_t i = 0; i < width_; ++i) {
        const size_t sx = static_cast<size_t>(int64_t{i} * pw / width_) * 3;
        uint8_t* o = &row[static_cast<size_t>(i) * 4];
        o[0] = 255;
        o[1] = src[sx];
        o[2] = src[sx + 1];
        o[3] = src[sx + 2];
      }
      clip_->setPixelRow(0, j, width_, row.data(), host::kModeARGB8);
    }
  }

  host::Document* doc = obj->document();
  const bool polygonMode = doc && isPolygonMode(doc->data().getInt32(host::kDocMode));
  const Tile tile = tileOf(selTag);
  const int32_t count = obj->polygonCount();
  host::Selection& selected = obj->polygonSelection();
  if (!restricted) {
    for (int32_t i = 0; i < count; ++i) outline(obj, uvw, i, 0.0, 0.0, 0, 0, 0);
    if (polygonMode)
      for (int32_t i : selected.indices())
        if (i < count) outline(obj, uvw, i, 0.0, 0.0, 255, 255, 0);
  } else if (polygonMode) {
    const std::vector<int32_t> members = set->indices();
    for (int32_t i : members)
      if (i < count && !selected.isSelected(i)) outline(obj, uvw, i, tile.u, tile.v, 0, 0, 0);
    for (int32_t i : members)
      if (i < count && selected.isSelected(i)) outline(obj, uvw, i, tile.u, tile.v, 255, 255, 0);
  }
  area.drawBitmap(*clip_, cell.x1, cell.y1, width_, height_);
}

void UVDecoration::pick(host::PolygonObject* obj, int32_t x, int32_t y, int32_t qualifiers) {
  if (x < 0 || y < 0) return;
  host::Selection& sel = obj->polygonSelection();
  const bool deselect = (qualifiers & host::kQualCtrl) != 0;
  auto apply = [&](int32_t polygon) {
    if (deselect)
      sel.deselect(polygon);
    else
      sel.select(polygon);
  };
  if (qualifiers & host::kQualAlt) {
    const uint64_t island = islandMap_.get(x, y);
    if (island > 0 && island <= islands_.size())
      for (int32_t p : islands_[island - 1].polygons) apply(p);
    return;
  }
  const uint64_t v = polygonMap_.get(x, y);
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
  if (dirty_) {
    buildMaps(obj);
    dirty_ = false;
  }
  host::Events& events = host::api().events();
  doc->startUndo();
  doc->addUndo(host::kUndoChangeSelection, obj);
  host::Selection& sel = obj->polygonSelection();
  if (!(event.qualifiers & (host::kQualShift | host::kQualCtrl))) sel.deselectAll();
  pick(obj, at.localX, at.localY, event.qualifiers);
  if (event.doubleClick) {
    const bool deselect = (event.qualifiers & host::kQualCtrl) != 0;
    for (const UVIsland& island : islands_)
      for (int32_t p : island.polygons) deselect ? sel.deselect(p) : sel.select(p);
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
