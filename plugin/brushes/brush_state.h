// What a painting brush keeps across the dabs of one stroke.
#pragma once

#include <memory>

#include "host/sculpt.h"

namespace pigmora {

class BrushStrokeState {
 public:
  virtual ~BrushStrokeState() = default;

  // The once-per-stroke flag: set by the first dab, which binds the registry.
  bool firstDabSeen() const { return firstDabSeen_; }
  void setFirstDabSeen(bool seen) { firstDabSeen_ = seen; }

  // The polygon marker set, rebuilt for the object's polygon count whenever that count changes.
  // Null when the host cannot make one.
  host::PolygonMarkerSet* markerSet(int32_t polygonCount);
  // Clears the marks at the end of a stroke, when the set is valid.
  void clearMarkers();

 private:
  bool firstDabSeen_ = false;
  std::unique_ptr<host::PolygonMarkerSet> markers_;
  bool markersValid_ = false;
};

}  // namespace pigmora
