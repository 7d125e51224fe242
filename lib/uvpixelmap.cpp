#include "lib/uvpixelmap.h"

#include <cstring>

#include "host/binding.h"
#include "lib/uv_raster.h"

namespace pigmora {

namespace {
constexpr int32_t kTile = 64;
constexpr size_t kCells = kTile * kTile;
int32_t tilesFor(int32_t pixels) {
  return (pixels + kTile - 1) / kTile;
}
}  // namespace

UVPixelMap::UVPixelMap(int32_t mode) : idMode_(mode != 0) {}

UVPixelMap::~UVPixelMap() {
  tiles_.forEach([](uint64_t, uint64_t* tile) { host::destroyArray(tile); });
}

uint64_t UVPixelMap::tileKey(int32_t x, int32_t y) {
  return pigmora::tileKey(static_cast<uint32_t>(x) >> 6, static_cast<uint32_t>(y) >> 6);
}

uint64_t* UVPixelMap::cell(int32_t x, int32_t y, bool create) {
  // Pixels just outside the layer but inside a tile it touches are accepted and kept harmlessly.
  if (x < 0 || y < 0 || (x >> 6) >= tilesFor(width_) || (y >> 6) >= tilesFor(height_))
    return nullptr;
  const uint64_t key = tileKey(x, y);
  uint64_t* const* known = tiles_.find(key);
  uint64_t* tile = known ? *known : nullptr;
  if (!tile) {
    if (!create) return nullptr;
    tile = host::makeArray<uint64_t>(kCells);
    if (!tile) return nullptr;
    if (!tiles_.insert(key, tile)) {
      host::destroyArray(tile);
      return nullptr;
    }
  }
  return tile + (x & 63) + 64 * (y & 63);
}

uint64_t UVPixelMap::get(int32_t x, int32_t y) const {
  const uint64_t* c = const_cast<UVPixelMap*>(this)->cell(x, y, false);
  return c ? *c : 0;
}

void UVPixelMap::set(int32_t y, int32_t x0, int32_t x1, uint64_t value) {
  for (int32_t x = x0; x < x1; ++x) {
    uint64_t* c = cell(x, y, true);
    if (!c) continue;
    if (idMode_)
      *c = value;
    else
      *c |= kCovered;
  }
}

void UVPixelMap::rasterisePolygon(int32_t index, const host::Polygon* polygons,
                                  int32_t polygonCount, host::UVWTag* uvw, int32_t width,
                                  int32_t height, uint64_t value, int32_t tile, float uOffset,
                                  float vOffset) {
  if (!uvw || index < 0 || index >= polygonCount || index >= uvw->count()) return;
  const host::Polygon& p = polygons[index];
  const int32_t rows = tilesFor(height_) * kTile, cols = tilesFor(width_) * kTile;
  uvraster::fillPolygon(uvw->get(index), p.c != p.d, width, height, tile, uOffset, vOffset, rows,
                        cols, [&](int32_t y, int32_t x0, int32_t x1) { set(y, x0, x1, value); });
}

void UVPixelMap::reset(host::PolygonObject* obj, int32_t width, int32_t height) {
  tiles_.forEach([](uint64_t, uint64_t* tile) { std::memset(tile, 0, kCells * sizeof(uint64_t)); });
  lastObject_.set(obj);
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
}

void UVPixelMap::build(host::PolygonObject* obj, int32_t width, int32_t height,
                       host::SelectionTag* selTag, host::UVWTag* uvw,
                       const host::Selection* selection) {
  tiles_.forEach([](uint64_t, uint64_t* tile) { std::memset(tile, 0, kCells * sizeof(uint64_t)); });
  lastObject_.set(obj);
  if (!obj) return;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (!uvw) uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  if (!uvw) return;
  const int32_t count = obj->polygonCount();
  const host::Polygon* polys = obj->polygons();
  forEachMappedPolygon(count, selTag, selection, [&](int32_t i, int32_t tile, float u, float v) {
    rasterisePolygon(i, polys, count, uvw, width_, height_, static_cast<uint64_t>(i) + 1, tile, u,
                     v);
  });
}

}  // namespace pigmora
