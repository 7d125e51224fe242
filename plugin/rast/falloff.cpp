#include "plugin/rast/falloff.h"

namespace pigmora {

double falloffSignature(const host::Spline& curve) {
  double sx = 0.0, sy = 0.0;
  for (size_t i = 0; i < curve.knots.size(); ++i) {
    const double weight = static_cast<double>(i + 1);
    sx += curve.knots[i].x * weight;
    sy += curve.knots[i].y * weight;
  }
  return sx * sx + sy * sy;
}

void buildFalloffTable(FalloffTable& table, double& signature, const host::Settings* settings,
                       double radius) {
  const host::Spline* curve = settings ? settings->getSpline(kSettingFalloffCurve) : nullptr;
  if (!curve) {
    table.enabled = 0;
    return;
  }
  const double sig = falloffSignature(*curve);
  const float r = static_cast<float>(radius);
  if (sig == signature && r == table.radius) return;
  signature = sig;
  table.radius = r;
  table.radius2 = r * r;
  table.scale = 0.0f;
  if (r <= 0.0f) return;
  table.scale = static_cast<float>(kFalloffEntries) / table.radius2;
  table.enabled = 1;
  float x = 0.0f;
  const float step = 1.0f / static_cast<float>(kFalloffEntries);
  for (int32_t j = 0; j < kFalloffEntries; ++j) {
    table.f[j] = static_cast<float>(curve->evaluate(x));
    x += step;
  }
}

}  // namespace pigmora
