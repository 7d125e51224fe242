#include "plugin/brushes/paintbrushbase.h"

#include <limits>

#include "host/binding.h"
#include "plugin/brushes/dab_painter.h"
#include "plugin/fill/floodlayers.h"
#include "plugin/painting_lib.h"
#include "plugin/paintundo.h"
#include "plugin/resource.h"

namespace pigmora {

namespace {
constexpr int32_t kModePolygons = 7;
constexpr int32_t kModePolygonsRestricted = 14;

std::string resourceString(int32_t id) {
  return moduleResource() ? moduleResource()->string(id) : std::string();
}

// The polygon of the dab nearest its centre: the one under the cursor.
int32_t polygonUnderCursor(const host::BrushDab& dab) {
  host::PolygonObject* obj = dab.object();
  const int32_t count = dab.polygonCount();
  if (!obj || count <= 0) return -1;
  if (count == 1) return dab.polygons()[0];
  const host::Vector c = dab.centre();
  int32_t best = -1;
  double bestDistance = std::numeric_limits<double>::infinity();
  for (int32_t i = 0; i < count; ++i) {
    const int32_t p = dab.polygons()[i];
    if (p < 0 || p >= obj->polygonCount()) continue;
    const host::Polygon& poly = obj->polygons()[p];
    host::Vector mid;
    bool ok = true;
    for (int k = 0; k < 4 && ok; ++k) {
      ok = poly.corner(k) >= 0 && poly.corner(k) < obj->pointCount();
      if (ok) mid += obj->points()[poly.corner(k)];
    }
    if (!ok) continue;
    const double d = host::length(mid / 4 - c);
    if (d < bestDistance) {
      bestDistance = d;
      best = p;
    }
  }
  return best;
}

// The brush's fill mode: flood across the polygons around the one under the cursor.
bool fillFromDab(host::BrushDab* dab, bool restrict) {
  PaintMaterialRegistry* registry = PaintMaterialRegistry::instance();
  host::PolygonObject* obj = dab->object();
  auto* state = dynamic_cast<BrushStrokeState*>(dab->brushTool());
  if (!registry || !obj || !dab->document()) return false;
  const ToolContext context = toolContextOf(*dab);
  if (state && !state->firstDabSeen()) {
    state->setFirstDabSeen(true);
    registry->bind(&context, obj, obj);
  }
  const int32_t start = polygonUnderCursor(*dab);
  PolygonFillInput in;
  in.target = registry->targetForPolygon(start);
  in.object = obj;
  in.startPolygon = start;
  in.settings = dab->settings();
  in.selectedOnly = restrict;
  if (!in.target) return false;
  return polygonFill(in);
}
}  // namespace

PaintBrushBase::PaintBrushBase(host::SculptLibrary& library,
                               std::unique_ptr<host::BrushParams> params)
    : SculptBrushToolData(library, std::move(params)) {}

std::unique_ptr<host::BrushParams> PaintBrushBase::makeParams(host::SculptLibrary& library,
                                                              bool modifiesPoints,
                                                              host::DabCallback callback) {
  std::unique_ptr<host::BrushParams> p = library.createParams();
  if (!p) return nullptr;
  // The host expects the switches in this order; the sixth repeats the second.
  p->setUndoPoints(false);
  p->setUsesFalloff(true);
  p->setUsesStamps(true);
  p->setUsesStencils(true);
  p->setUsesModifiers(true);
  p->setUsesFalloff(true);
  p->setReportsPolygons(true);
  p->setUsesSymmetry(false);
  p->setModifiesPoints(modifiesPoints);
  p->setDabCallback(callback);
  p->setThreaded(false);
  return p;
}

bool PaintBrushBase::registerTool() {
  const std::string name = resourceString(10000);
  if (name.empty()) return true;
  host::Host& h = host::api();
  std::unique_ptr<host::BrushParams> params = makeParams(h.sculpt(), false, &paintDabCallback);
  if (!params) return false;
  PaintBrushBase* tool = host::make<PaintBrushBase>(h.sculpt(), std::move(params));
  if (!tool) return false;
  if (!h.registration().registerTool(kPaintBrushId, name, kBrushInfo, "paintbrush.png",
                                     resourceString(10006), tool)) {
    host::destroy(tool);
    return false;
  }
  return true;
}

void PaintBrushBase::writeDefaults(host::Settings& data, bool withBase) {
  data.setBool(kSettingWholePolygon, false);
  data.setReal(kSettingBleedDistance, 5.0);
  data.setInt32(kSettingTextureUpdate, kTextureUpdateNever);
  data.setBool(kSettingFixedStrength, false);
  data.setBool(kSettingStencilColor, true);
  if (withBase) library().baseDefaults(data);
  data.setBool(kSettingStabilise, true);
  data.setReal(kSettingSmoothing, 20.0);
  data.setReal(kSettingFixedStrengthValue, 1.0);
  data.setBool(kSettingStampAlpha, true);
  data.setBool(kSettingPerChannelStamps, false);
}

void PaintBrushBase::initDefaultSettings(host::Document* doc, host::Settings& data) {
  (void)doc;
  writeDefaults(data, true);
}

void PaintBrushBase::initDefaults(host::Document* doc, host::Settings& data) {
  (void)doc;
  writeDefaults(data, false);
}

bool PaintBrushBase::mouseInput(host::Document* doc, host::Settings& data) {
  if (!data.getBool(kSettingFixedStrength)) return SculptBrushToolData::mouseInput(doc, data);
  // Fixed strength paints whole polygons with a steady stroke while the input runs, then gives
  // the user's settings back.
  const host::Settings saved = data;
  data.setBool(kSettingWholePolygon, true);
  data.setBool(kSettingStabilise, true);
  data.setReal(kSettingSmoothing, 0.2);
  const bool result = SculptBrushToolData::mouseInput(doc, data);
  for (int32_t id : {kSettingWholePolygon, kSettingStabilise, kSettingSmoothing}) {
    if (const host::Value* v = saved.find(id))
      data.set(id, *v);
    else
      data.remove(id);
  }
  return result;
}

bool PaintBrushBase::getDEnabling(host::Document* doc, host::Settings& data, int32_t id,
                                  const host::Value& v, int32_t flags) {
  (void)doc;
  (void)v;
  (void)flags;
  switch (id) {
    case kSettingFillPolygons:
    case kSettingFillAngle:
      return data.getInt32(kSettingBrushMode) == kBrushModeFill;
    case kSettingStabilise:
    case kSettingRestrict:
    case kSettingSmoothing:
    case kSettingWholePolygon:
      return !data.getBool(kSettingFixedStrength);
    case kSettingStencilColor:
      return data.getBool(kSettingStencilOn);
    case kButtonReloadStamps:
      return data.getBool(kSettingPerChannelStamps);
    default:
      return library().baseEnabling(data, id);
  }
}

bool PaintBrushBase::setDParameter(host::Document* doc, host::Settings& data, int32_t id,
                                   const host::Value& v, int32_t& flags) {
  (void)doc;
  (void)v;
  (void)flags;
  if (id == kSettingMaterialStamps) reloadChannelStamps(data);
  return true;
}

void PaintBrushBase::reloadChannelStamps(host::Settings& data) {
  if (!data.getBool(kSettingPerChannelStamps)) return;
  const host::Bitmap* stamp = library().currentStamp(data);
  if (!stamp) return;
  PaintMaterialRegistry* registry = PaintMaterialRegistry::instance();
  if (!registry) return;
  registry->freeSampledChannels();
  if (stamp->width() > 0) sampleChannels(&data, nullptr, stamp->width());
}

void PaintBrushBase::floodButton(host::Document* doc, host::Settings& data, int32_t mode) {
  if (!findUndoStore(doc)) return;
  host::PolygonObject* obj = nullptr;
  for (host::Object* o : doc->selectedObjects()) {
    if (o->type() == host::kTypePolygonObject) {
      obj = static_cast<host::PolygonObject*>(o);
      break;
    }
  }
  if (!obj) return;
  beginStep(doc);
  FloodLayers(obj, mode, library().baseStrength(data), library().baseRestrictsToSelection(data),
              data.getReal(kSettingBleedDistance), 0);
  endStep(doc);
}

bool PaintBrushBase::message(host::Document* doc, host::Settings& data, int32_t type, void* tdata) {
  if (type == host::kMessageDescriptionCommand && tdata && doc) {
    const int32_t id = static_cast<host::DescriptionCommand*>(tdata)->id;
    switch (id) {
      case kButtonBleed:
      case kButtonFillIslands:
        floodButton(doc, data, id);
        break;
      case kButtonFillLayerUVs:
        host::api().registration().callCommand(kCommandFillLayerUVs, 0);
        break;
      case kButtonApply:
        if (findUndoStore(doc)) {
          beginStep(doc);
          host::Node* linked = data.getLink(kSettingApplyMaterial);
          if (linked && linked->type() == host::kTypeMaterial) {
            auto* mat = static_cast<host::Material*>(linked);
            host::Channel* first = nullptr;
            for (int32_t c = 0; c < kChannelCount && !first; ++c) first = mat->channel(c);
            if (first) library().baseApply(this, doc, first, data, id);
          }
          endStep(doc);
        }
        break;
      case kButtonReloadStamps:
        reloadChannelStamps(data);
        break;
      default:
        break;
    }
  }
  return SculptBrushToolData::message(doc, data, type, tdata);
}

void PaintBrushBase::strokeStart(host::Document* doc, host::Settings& data) {
  (void)data;
  setFirstDabSeen(false);
  if (PaintMaterialRegistry* registry = PaintMaterialRegistry::instance())
    registry->stampCache().strokeBegins();
  beginStep(doc);
}

void PaintBrushBase::strokeEnd(host::Document* doc, host::Settings& data) {
  (void)data;
  endStep(doc);
  PaintMaterialRegistry* registry = PaintMaterialRegistry::existing();
  if (registry) registry->stampCache().strokeEnds();
  if (registry && registry->textureUpdateMode() == kTextureUpdateStrokeEnd)
    registry->updateTextures();
  clearMarkers();
}

void PaintBrushBase::afterStroke() {
  PaintMaterialRegistry* registry = PaintMaterialRegistry::existing();
  if (registry && registry->textureUpdateMode() == kTextureUpdateOnNotify)
    registry->updateTextures();
}

bool PaintBrushBase::paintDabCallback(host::BrushDab* dab) {
  if (!dab) return false;
  host::Settings* s = dab->settings();
  auto* tool = dab->brushTool();
  const bool restrictRequested = [&] {
    host::Document* doc = dab->document();
    if (!tool || !s || !doc) return false;
    const int32_t mode = doc->data().getInt32(host::kDocMode);
    return tool->library().baseRestrictsToSelection(*s) &&
           (mode == kModePolygons || mode == kModePolygonsRestricted);
  }();
  if (!(dab->dabFlags() & kDabBlur) && s && s->getBool(kSettingFillMode) &&
      s->getBool(kSettingFillPolygons))
    return fillFromDab(dab, restrictRequested);
  PaintMaterialRegistry* registry = PaintMaterialRegistry::instance();
  if (!registry || !dab->object() || !dab->document() || !tool) return false;
  if (dab->strength() == 0) return true;
  return paintDab(dab, restrictRequested, *registry);
}

}  // namespace pigmora
