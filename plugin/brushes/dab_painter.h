// Painting one brush dab: the polygons under it are laid onto their materials' layers.
#pragma once

#include <cstdint>

#include "host/sculpt.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

constexpr int32_t kSettingStrokeBound = 21000;  // once-per-stroke flag of dabs without a brush

// The tool context of a dab: settings, object, flags, strength, radius and centre.
ToolContext toolContextOf(const host::BrushDab& dab);

// Paints the dab. False when the object, the document, the UV tag, the brush tool (with fixed
// strength) or the target of a single touched polygon is missing.
bool paintDab(host::BrushDab* dab, bool restrictToSelection, PaintMaterialRegistry& registry);

// Everything the dab painter reads about the painted object for one dab.
struct DabScene {
  host::BrushDab* dab = nullptr;
  PaintMaterialRegistry* registry = nullptr;
  host::PolygonObject* object = nullptr;
  host::UVWTag* uvw = nullptr;
  const host::Vector* points = nullptr;
  const host::Polygon* polygons = nullptr;
  int32_t pointCount = 0, polygonCount = 0;
  bool restrictInForce = false;
  const host::Selection* selection = nullptr;

  bool selected(int32_t polygon) const { return !selection || selection->isSelected(polygon); }
  // The polygon's corners and its UVs shifted by the target's tile; false for a polygon with
  // bad point indices, missing or non-finite UVs.
  bool polygon(int32_t index, const PaintTarget& target, host::Polygon& p, host::Vector uv[4],
               host::Vector pos[4]) const;
};

// Paints the polygon across edge (p, q) of polygon g when the edge's line passes through the
// dab's sphere. True when it painted it.
bool edgeSpill(const DabScene& scene, int32_t g, const host::Neighbour& neighbour, int32_t p,
               int32_t q);

// Paints only a small region of polygon g around the dab centre.
void dabRegion(const DabScene& scene, double radius, int32_t g, const host::Vector uv[4],
               const host::Vector pos[4], PaintTarget& target, const host::Vector& centre);

}  // namespace pigmora
