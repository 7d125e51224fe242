#include "plugin/brushes/paintbrushsculpt.h"

#include "host/binding.h"
#include "plugin/paintmaterials.h"
#include "plugin/resource.h"

namespace pigmora {

bool PaintBrushSculpt::registerTool() {
  const std::string name = moduleResource() ? moduleResource()->string(10002) : std::string();
  if (name.empty()) return true;
  host::Host& h = host::api();
  std::unique_ptr<host::BrushParams> params = makeParams(h.sculpt(), true, &sculptDabCallback);
  if (!params) return false;
  PaintBrushSculpt* tool = host::make<PaintBrushSculpt>(h.sculpt(), std::move(params));
  if (!tool) return false;
  const std::string help = moduleResource() ? moduleResource()->string(10008) : std::string();
  if (!h.registration().registerTool(kSculptBrushId, name, kBrushInfo, "paintsculptbrush.png", help,
                                     tool)) {
    host::destroy(tool);
    return false;
  }
  return true;
}

bool PaintBrushSculpt::sculptDabCallback(host::BrushDab* dab) {
  if (!dab) return false;
  paintDabCallback(dab);
  const double s = dab->strength();
  if (s == 0) return true;
  if (!(dab->radius() > 0)) return false;
  const double k = dab->settings() ? dab->settings()->getReal(kSettingRelief) : 0.0;
  host::PolygonObject* obj = dab->object();
  if (!obj) return false;
  // The relief scales with the object: its bounding radius sets the unit.
  const double r = host::length(obj->boundingRadius());
  const double u = s * 10 * (k * 0.002) * (r * 0.005);
  host::Vector displacement = dab->normal() * u;
  if (dab->dabFlags() & kDabSecondaryColor) displacement = -displacement;
  if (dab->settings() && dab->settings()->getBool(kSettingInvertRelief))
    displacement = -displacement;
  for (int32_t i = 0; i < dab->pointCount(); ++i) {
    const double f = dab->pointFalloff(i);
    if (f == 0) continue;
    if (dab->usesSecondOffset())
      dab->offsetPoint(dab->pointIndex(i), displacement * f, 0, 0);
    else
      dab->offsetPoint(dab->pointIndex(i), displacement * f);
  }
  return true;
}

}  // namespace pigmora
