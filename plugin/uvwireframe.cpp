#include "plugin/uvwireframe.h"

#include "lib/uv_outline.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

void drawWireframe(host::PaintBitmap* layer, host::PolygonObject* obj,
                   host::SelectionTag* selection, host::UVWTag* uvw) {
  if (!layer || !obj || !uvw || uvw->count() != obj->polygonCount()) return;
  const int32_t w = layer->width(), h = layer->height();
  double du = 0.0, dv = 0.0;
  if (selection) {
    int32_t tile = 0;
    bool offsets = false;
    double u = 0.0, v = 0.0;
    if (parseUdimName(selection->name(), tile, u, v, offsets) && offsets) {
      du = u;
      dv = v;
    }
  }
  // Opaque black in 8-bit ARGB.
  static constexpr uint8_t kBlack[4] = {255, 0, 0, 0};
  const host::Polygon* polys = obj->polygons();
  auto draw = [&](int32_t p) {
    if (p < 0 || p >= obj->polygonCount()) return;
    forEachUVEdgePixel(
        uvw->get(p), polys[p].c != polys[p].d, du, dv, w, h,
        [&](int32_t px, int32_t py) { layer->setPixelRow(px, py, 1, kBlack, host::kModeARGB8); });
  };
  if (selection)
    selection->selection().forEachIndex(draw);
  else
    for (int32_t i = 0; i < obj->polygonCount(); ++i) draw(i);
}

}  // namespace pigmora
