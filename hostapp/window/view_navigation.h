// Moving the view's camera with the mouse: orbit about a point in front of it, pan across the
// view, zoom towards that point, and frame every object.
#pragma once

#include "host/values.h"

namespace hostapp {

class DocumentImpl;

struct ViewCamera {
  host::Matrix matrix;    // x right, y up, z forward
  double distance = 400;  // to the point the camera orbits about, along z
  double halfFov = 0.5;   // half the film width over the focal length

  host::Vector pivot() const;
  // Turns about the pivot: dx pixels turn about the world's up axis, dy about the camera's x
  // axis, half a degree a pixel. The camera never turns over the top.
  void orbit(double dx, double dy);
  // Moves with the pixels dragged over a view `viewWidth` wide, so that the point at the pivot's
  // depth follows the mouse.
  void pan(double dx, double dy, double viewWidth);
  // Wheel steps towards (positive) or away from the pivot, a tenth of the distance each.
  void zoom(double steps);
};

// Every polygon object of the document in a view of the aspect (width / height); the pivot at
// their centre.
ViewCamera frameAll(const DocumentImpl& doc, double aspect);

}  // namespace hostapp
