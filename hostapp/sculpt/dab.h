// One dab of a stroke as the stroke engine hands it to a brush.
#pragma once

#include <vector>

#include "host/sculpt.h"

namespace hostapp {

// How the stamp and stencil images lie over the surface for this dab.
struct ImagePlacement {
  host::Vector centre;   // object space
  host::Vector u, v;     // unit axes of the image on its plane
  double halfWidth = 1;  // object units covered by half the image width
  const host::Bitmap* image = nullptr;
};

class BrushDabImpl : public host::BrushDab {
 public:
  host::PolygonObject* object() const override { return object_; }
  host::Document* document() const override { return document_; }
  host::SculptBrushToolData* brushTool() const override { return tool_; }
  host::Settings* settings() const override { return settings_; }
  double strength() const override { return strength_; }
  double radius() const override { return radius_; }
  host::Vector centre() const override { return centre_; }
  host::Vector normal() const override { return normal_; }
  int32_t dabFlags() const override { return flags_; }
  int32_t pointCount() const override { return static_cast<int32_t>(points_.size()); }
  int32_t pointIndex(int32_t e) const override;
  double pointFalloff(int32_t e) const override;
  int32_t polygonCount() const override { return static_cast<int32_t>(polygons_.size()); }
  const int32_t* polygons() const override { return polygons_.data(); }
  const host::Neighbour* neighbour() const override { return neighbour_; }
  double falloffAt(const host::Vector& p) const override;
  bool pointTest(const host::Vector& p) const override;
  bool stampCoordinates(const host::Vector& p, float& sx, float& sy) const override;
  const host::Bitmap* stamp() const override { return stamp_.image; }
  const host::Bitmap* stencil() const override { return stencil_.image; }
  bool usesSecondOffset() const override { return false; }
  void offsetPoint(int32_t index, const host::Vector& offset) override;
  void offsetPoint(int32_t index, const host::Vector& offset, int32_t a, int32_t b) override;

  // The falloff curve of the brush at squared normalised distance t (0 .. 1).
  double curve(double t) const;

  host::PolygonObject* object_ = nullptr;
  host::Document* document_ = nullptr;
  host::SculptBrushToolData* tool_ = nullptr;
  host::Settings* settings_ = nullptr;
  double strength_ = 0, radius_ = 0;
  host::Vector centre_, normal_;
  int32_t flags_ = 0;
  int32_t brushMode_ = 0;
  std::vector<std::pair<int32_t, double>> points_;
  std::vector<int32_t> polygons_;
  const host::Neighbour* neighbour_ = nullptr;
  const host::Spline* falloff_ = nullptr;
  ImagePlacement stamp_, stencil_;
  bool moved_ = false;
};

}  // namespace hostapp
