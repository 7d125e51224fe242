// Bleeding painted texels outward from the UV-covered pixels of a layer, ring by ring.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace pigmora {

// Grows the colours of the pixels the object's UV polygons cover (those of the selection tag
// when given) into the uncovered pixels of the layer, distance + 1 rings deep. Each ring pixel
// takes the mean of its 8-neighbours that were covered or filled in an earlier ring. Tiles are
// saved into the document's open undo step before they change. The caller tells the host
// afterwards that the layer changed.
void BleedLayer(host::PaintBitmap* layer, host::SelectionTag* selTag, host::PolygonObject* obj,
                int64_t distance);

}  // namespace pigmora
