// The UV view of one texture tag in a cell: the cell's preview with the polygons' UV outlines
// over it (selected ones in yellow in the polygon modes), and polygon picking with the mouse.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/host.h"
#include "lib/gui/decorations.h"
#include "lib/uvpixelmap.h"
#include "plugin/uvislands.h"

namespace pigmora {

// Document modes in which polygons are edited.
bool isPolygonMode(int32_t mode);

// What picking reads: the polygon and island maps of a cell size, with the links they were built
// for and a fingerprint of the geometry, UVs, polygon set and materials they came from.
struct PickMaps {
  host::Link object, tag, uvw, selectionTag;
  UVPixelMap polygonMap{1};
  UVPixelMap islandMap{1};
  UVIslandList islands;
  int32_t width = 0, height = 0;
  uint64_t fingerprint = 0;
  int32_t builds = 0;  // how many times they were built, through every cell that held them
};
struct PickMapsRelease {
  void operator()(PickMaps* maps) const;
};
using PickMapsPtr = std::unique_ptr<PickMaps, PickMapsRelease>;

class UVDecoration : public DecorationElement {
 public:
  // `selection` is the cell's own polygon set, used when there is no selection tag.
  UVDecoration(host::PolygonObject* obj, host::TextureTag* tag, host::UVWTag* uvw,
               host::SelectionTag* selectionTag, const host::Selection* selection);
  ~UVDecoration() override;

  void setSize(int32_t width, int32_t height) override;
  void draw(ViewAreaBase& area, host::Bitmap* preview, const host::UiRect& cell) override;
  bool click(ViewAreaBase& area, const CellClick& at) override;

  // Selects (with control: deselects) what lies under (x, y) of the cell: the polygon, or with
  // alt its whole island.
  void pick(host::PolygonObject* obj, int32_t x, int32_t y, int32_t qualifiers);

  // Hands the pixel maps over to the cell that replaces this one when the view is built again.
  PickMapsPtr releaseMaps() { return std::move(maps_); }
  // Takes maps built for the same object, tags and UVW tag; they are checked before use.
  void adoptMaps(std::vector<PickMapsPtr>& kept);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  // True until pixel maps of the current size are at hand.
  bool dirty() const { return !maps_ || maps_->width != width_ || maps_->height != height_; }
  // How many times the pixel maps at hand were built.
  int32_t mapBuilds() const { return maps_ ? maps_->builds : 0; }
  const host::Bitmap* clipBitmap() const { return clip_.get(); }

 private:
  host::PolygonObject* object() const;
  // The polygon set and whether it is restricted (a selection tag, or the own selection).
  const host::Selection* restriction(bool& restricted) const;
  // A fingerprint of everything the pixel maps are made of.
  uint64_t fingerprint(host::PolygonObject* obj) const;
  // The maps for picking, built again unless those at hand fit the size and the scene.
  PickMaps* pickMaps(host::PolygonObject* obj);
  void buildMaps(host::PolygonObject* obj, uint64_t fingerprint);
  // Outlines the polygon into the cell's pixels.
  void outline(uint8_t* pixels, const host::Polygon* polygons, const host::UVWPolygon* uvs,
               int32_t polygon, double du, double dv, const uint8_t (&argb)[4]) const;

  host::Link object_, tag_, selectionTag_, uvw_;
  host::Selection selection_;
  PickMapsPtr maps_;
  std::unique_ptr<host::Bitmap> clip_;
  int32_t width_ = 100, height_ = 100;
};

}  // namespace pigmora
