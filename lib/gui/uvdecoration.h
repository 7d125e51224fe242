// The UV view of one texture tag in a cell: the cell's preview with the polygons' UV outlines
// over it (selected ones in yellow in the polygon modes), and polygon picking with the mouse.
#pragma once

#include <cstdint>
#include <memory>

#include "host/host.h"
#include "lib/gui/decorations.h"
#include "lib/uvpixelmap.h"
#include "plugin/uvislands.h"

namespace pigmora {

// Document modes in which polygons are edited.
bool isPolygonMode(int32_t mode);

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

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool dirty() const { return dirty_; }
  // How many times the pixel maps were built (at the first click after a size change).
  int32_t mapBuilds() const { return mapBuilds_; }
  const host::Bitmap* clipBitmap() const { return clip_.get(); }

 private:
  host::PolygonObject* object() const;
  // The polygon set and whether it is restricted (a selection tag, or the own selection).
  const host::Selection* restriction(bool& restricted) const;
  void buildMaps(host::PolygonObject* obj);
  void outline(host::PolygonObject* obj, host::UVWTag* uvw, int32_t polygon, double du, double dv,
               uint8_t r, uint8_t g, uint8_t b);

  host::Link object_, tag_, selectionTag_, uvw_;
  host::Selection selection_;
  UVPixelMap polygonMap_{1};
  UVPixelMap islandMap_{1};
  UVIslandList islands_;
  std::unique_ptr<host::Bitmap> clip_;
  int32_t width_ = 100, height_ = 100;
  bool dirty_ = true;
  int32_t mapBuilds_ = 0;
};

}  // namespace pigmora
