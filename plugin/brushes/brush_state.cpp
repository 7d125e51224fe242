#include "plugin/brushes/brush_state.h"

#include "host/binding.h"

namespace pigmora {

host::PolygonMarkerSet* BrushStrokeState::markerSet(int32_t polygonCount) {
  if (!markersValid_ || !markers_ || markers_->size() != polygonCount) {
    markers_ = host::api().sculpt().createMarkerSet(polygonCount);
    markersValid_ = markers_ != nullptr;
  }
  return markers_.get();
}

void BrushStrokeState::clearMarkers() {
  if (markersValid_ && markers_) markers_->clear();
}

}  // namespace pigmora
