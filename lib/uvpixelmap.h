// A sparse per-pixel map of a UV layout in 64 x 64 tiles: a coverage mask, or the polygon under
// each pixel.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "lib/host_map.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

// Calls fn(index, tile, uOffset, vOffset) for every polygon a map of the object covers: those of
// the selection tag (with the tag's UDIM tile), else the selected ones, else all. Indices beyond
// the polygon count are left out.
template <class Fn>
void forEachMappedPolygon(int32_t polygonCount, host::SelectionTag* selTag,
                          const host::Selection* selection, Fn&& fn);

class UVPixelMap {
 public:
  static constexpr uint64_t kCovered = 4;

  // mode 0: coverage (rasterised pixels get bit 4); any other value: polygon ids (index + 1).
  explicit UVPixelMap(int32_t mode);
  ~UVPixelMap();
  UVPixelMap(const UVPixelMap&) = delete;
  UVPixelMap& operator=(const UVPixelMap&) = delete;

  // Clears the map and rasterises the object's polygons: those of the selection tag (with its
  // UDIM tile), else the selected ones of `selection`, else all. Without a UVW tag the object's
  // first is used; with none nothing is rasterised.
  void build(host::PolygonObject* obj, int32_t width, int32_t height, host::SelectionTag* selTag,
             host::UVWTag* uvw, const host::Selection* selection);
  // Clears the map and records the object and size, for callers that rasterise polygons of their
  // own choosing.
  void reset(host::PolygonObject* obj, int32_t width, int32_t height);
  void rasterisePolygon(int32_t index, const host::Polygon* polygons, int32_t polygonCount,
                        host::UVWTag* uvw, int32_t width, int32_t height, uint64_t value,
                        int32_t tile, float uOffset, float vOffset);
  // 0 outside the map, for cells never written, and where a tile could not be allocated.
  uint64_t get(int32_t x, int32_t y) const;

  static uint64_t tileKey(int32_t x, int32_t y);
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  host::Object* lastObject() const { return lastObject_.getAs<host::Object>(); }
  size_t tileCount() const { return tiles_.size(); }

 private:
  uint64_t* cell(int32_t x, int32_t y, bool create);
  void set(int32_t y, int32_t x0, int32_t x1, uint64_t value);

  bool idMode_;
  HostMap<uint64_t, uint64_t*> tiles_;  // 4096 cells each, host memory
  host::Link lastObject_;
  int32_t width_ = 0, height_ = 0;
};

template <class Fn>
void forEachMappedPolygon(int32_t polygonCount, host::SelectionTag* selTag,
                          const host::Selection* selection, Fn&& fn) {
  if (selTag) {
    int32_t tile = 0;
    double u = 0, v = 0;
    bool offsets = false;
    parseUdimName(selTag->name(), tile, u, v, offsets);
    selTag->selection().forEachIndex([&](int32_t i) {
      if (i < polygonCount) fn(i, offsets ? tile : 0, static_cast<float>(u), static_cast<float>(v));
    });
  } else if (selection && selection->count() > 0) {
    selection->forEachIndex([&](int32_t i) {
      if (i < polygonCount) fn(i, 0, 0.f, 0.f);
    });
  } else {
    for (int32_t i = 0; i < polygonCount; ++i) fn(i, 0, 0.f, 0.f);
  }
}

}  // namespace pigmora
