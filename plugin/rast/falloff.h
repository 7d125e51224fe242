// Building the falloff lookup table from the brush's curve.
#pragma once

#include "host/settings.h"
#include "plugin/rast/raster_types.h"

namespace pigmora {

constexpr int32_t kSettingFalloffCurve = 10303;

// The curve's signature: knot positions weighted by their 1-based index, summed per axis, then
// the squared length of that sum. It notices a changed curve cheaply.
double falloffSignature(const host::Spline& curve);

// Rebuilds the table for radius r from curve 10303 of the settings when the curve or r changed.
// `signature` is the stored signature of the curve the table was built from.
void buildFalloffTable(FalloffTable& table, double& signature, const host::Settings* settings,
                       double radius);

}  // namespace pigmora
