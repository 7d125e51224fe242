// The UV wireframe of an object drawn into a paint layer.
#pragma once

#include "host/host.h"

namespace pigmora {

// Draws the UV edges of the object's polygons (those of `selection` in its order when given,
// shifted back by the UDIM tile its name carries) into the layer as one-pixel lines in opaque
// black. Nothing without a layer, or without a UVW tag of one entry per polygon.
void drawWireframe(host::PaintBitmap* layer, host::PolygonObject* obj,
                   host::SelectionTag* selection, host::UVWTag* uvw);

}  // namespace pigmora
