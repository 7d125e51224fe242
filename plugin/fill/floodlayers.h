// Filling texture layers in one go: bleeding, random-colour UV islands, flooding the active
// layers, the UV area of polygons, and the brush's polygon fill.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

// FloodMode values.
constexpr int32_t kFloodBleed = 20001;
constexpr int32_t kFloodFillLayer = 20003;
constexpr int32_t kFloodFillIslands = 20004;

// Brush settings of the polygon fill.
constexpr int32_t kSettingFillMode = 10001;
constexpr int32_t kSettingFillPolygons = 10241;
constexpr int32_t kSettingFillAngle = 10242;
constexpr int32_t kSettingFillAcross = 10243;

// The island colour generator: a 31-bit linear congruential sequence in [0, 1).
class IslandColorGenerator {
 public:
  void seed(uint32_t s) { state_ = s; }
  double draw() {
    state_ = (state_ * 69069u + 69069u) & 0x7FFFFFFFu;
    return state_ / 2147483649.0;
  }

 private:
  uint32_t state_ = 0;
};

// Runs a flood mode on a polygon object: 20001 bleeds (every bitmap layer of every channel, or
// only the active layers), 20004 fills the UV islands in random colours. Strength and
// selected-only are not used by these modes; other modes paint nothing.
void FloodLayers(host::PolygonObject* obj, int32_t mode, double strength, int32_t selectedOnly,
                 double distance, int32_t activeLayerOnly);

// The bleed of every channel of every texture tag of the object.
void bleedObject(host::PolygonObject* obj, int64_t distance, bool activeLayerOnly);
// Every UV island of the object in random flat colours, a different one per channel.
void fillUVIslands(host::PolygonObject* obj);

// The bleed and island-fill commands: one paint undo step around FloodLayers on the first
// selected polygon object, with the bleed width of the preferences. False when the document has
// no undo hook or no polygon object is selected.
bool runFloodCommand(host::Document* doc, int32_t mode);

// "QOR Fill Current Layer": floods the active layer of every channel of the active object's
// materials with the painter's colour of that channel. One undo step.
void fillCurrentLayer(host::Document* doc);
// "QOR Fill Current Layer UVs": paints the UV area of the polygons into each active layer.
void fillCurrentLayerUVs(host::Document* doc);

// Fills the UV area of the object's polygons (those of `selection` when given, and of the
// object's polygon selection when it has one) into channel c of the material, flat.
void fillPolygons(host::PolygonObject* obj, host::Material* mat, int32_t channel,
                  const host::Selection* selection);

// The brush's fill: floods from the start polygon across shared points to polygons whose normal
// stays within the angle of the start polygon's normal, painting each flat. False when the
// flood had to stop early.
struct PolygonFillInput {
  PaintTarget* target = nullptr;
  host::PolygonObject* object = nullptr;
  int32_t startPolygon = -1;
  const host::Settings* settings = nullptr;  // 10242 angle in radians, 10243 across
  bool selectedOnly = false;                 // the brush paints selected polygons only
};
bool polygonFill(const PolygonFillInput& in);

}  // namespace pigmora
