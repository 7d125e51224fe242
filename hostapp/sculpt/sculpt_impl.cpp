#include "hostapp/sculpt/sculpt_impl.h"

#include <algorithm>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/scene/material.h"
#include "hostapp/sculpt/brush_params.h"
#include "hostapp/settings/angle_units.h"

namespace hostapp {

namespace {
constexpr int32_t kStampOn = 10601;
constexpr int32_t kStampTileX = 10608;
constexpr int32_t kStampTileY = 10609;
constexpr int32_t kStencilOn = 10401;
constexpr int32_t kStencilFalloff = 10406;
constexpr int32_t kBrushMode = 10221;
constexpr int32_t kFalloffCurve = 10303;
constexpr int32_t kFillMode = 10001;
constexpr int32_t kFillPolygons = 10241;
constexpr int32_t kFillAngle = 10242;
constexpr int32_t kFillAcross = 10243;
constexpr int32_t kRelief = 10214;
constexpr int32_t kInvertRelief = 10216;
}  // namespace

std::unique_ptr<host::BrushParams> SculptImpl::createParams() {
  if (host_.memory().refuseNext()) return nullptr;
  return std::make_unique<BrushParamsImpl>();
}

std::unique_ptr<host::PolygonMarkerSet> SculptImpl::createMarkerSet(int32_t count) {
  if (count < 0 || host_.memory().refuseNext()) return nullptr;
  return std::make_unique<MarkerSetImpl>(count);
}

void SculptImpl::baseDefaults(host::Settings& data) {
  data.setReal(host::kBrushRadius, 20.0);
  data.setReal(host::kBrushStrength, 0.5);
  data.setReal(host::kBrushSpacing, 0.25);
  data.setBool(host::kBrushStabilise, false);
  data.setBool(host::kBrushRestrict, false);
  data.setReal(host::kBrushSmoothing, 0.0);
  data.setInt32(kBrushMode, 0);
  // A soft brush: full strength in the middle, fading to nothing at the rim.
  data.setSpline(kFalloffCurve, host::Spline{{{0.0, 1.0}, {0.5, 0.5}, {1.0, 0.0}}});
  data.setBool(kStampOn, false);
  data.setFilename(host::kBrushStamp, "");
  data.setReal(host::kBrushStampRotation, 0.0);
  data.setBool(kStampTileX, false);
  data.setBool(kStampTileY, false);
  data.setBool(kStencilOn, false);
  data.setFilename(host::kBrushStencil, "");
  data.setReal(host::kBrushStencilScale, 0.0);
  data.setBool(kStencilFalloff, true);
  data.setBool(kFillMode, false);
  data.setBool(kFillPolygons, false);
  data.setReal(kFillAngle, radiansFromDegrees(45.0));
  data.setBool(kFillAcross, false);
  data.setReal(kRelief, 50.0);
  data.setBool(kInvertRelief, false);
}

bool SculptImpl::baseEnabling(host::Settings& data, int32_t id) {
  switch (id) {
    case host::kBrushStamp:
    case host::kBrushStampRotation:
    case kStampTileX:
    case kStampTileY:
      return data.getBool(kStampOn);
    case host::kBrushStencil:
    case host::kBrushStencilScale:
    case kStencilFalloff:
      return data.getBool(kStencilOn);
    case kFillPolygons:
    case kFillAngle:
    case kFillAcross:
      return data.getBool(kFillMode);
    default:
      return true;
  }
}

bool SculptImpl::baseInput(host::SculptBrushToolData* tool, host::Document* doc,
                           host::Settings& data) {
  if (!pending_ || !tool || !doc) return false;
  auto* params = dynamic_cast<BrushParamsImpl*>(tool->params());
  host::Object* active = doc->activeObject();
  if (!params || !active || active->type() != host::kTypePolygonObject) return false;
  inputSettings_ = data;
  last_ =
      engine_.run(tool, *params, doc, static_cast<host::PolygonObject*>(active), data, *pending_);
  return true;
}

bool SculptImpl::baseApply(host::SculptBrushToolData* tool, host::Document* doc,
                           host::Channel* channel, host::Settings& data, int32_t buttonId) {
  (void)tool;
  (void)buttonId;
  // Applying a material to the brush: the channel's texture becomes the brush's stamp.
  auto* ch = dynamic_cast<ChannelImpl*>(channel);
  if (!doc || !ch || ch->texturePath().empty()) return false;
  data.setBool(kStampOn, true);
  data.setFilename(host::kBrushStamp, ch->texturePath());
  return true;
}

double SculptImpl::baseStrength(host::Settings& data) {
  return data.getReal(host::kBrushStrength, 0.5);
}

bool SculptImpl::baseRestrictsToSelection(host::Settings& data) {
  return data.getBool(host::kBrushRestrict);
}

const host::Bitmap* SculptImpl::currentStamp(host::Settings& data) {
  return data.getBool(kStampOn) ? image(data.getFilename(host::kBrushStamp)) : nullptr;
}

const host::Bitmap* SculptImpl::image(const std::string& path) {
  if (path.empty()) return nullptr;
  auto it = images_.find(path);
  if (it != images_.end()) return it->second.get();
  std::string error;
  std::unique_ptr<PlainBitmap> bmp = loadPlainBitmap(host_.memory(), path, error);
  if (!bmp) host_.events().print(error);
  lastImageError_ = error;
  return (images_[path] = std::move(bmp)).get();
}

void SculptImpl::setImage(const std::string& path, std::unique_ptr<PlainBitmap> image) {
  images_[path] = std::move(image);
}

host::SculptBrushToolData* SculptImpl::tool(int32_t toolId) const {
  const RegisteredPlugin* p = host_.registration().find(toolId);
  return p && p->kind == PluginKind::kTool ? p->tool : nullptr;
}

host::Settings* SculptImpl::toolData(host::Document* doc, int32_t toolId) {
  host::SculptBrushToolData* t = tool(toolId);
  if (!doc || !t) return nullptr;
  for (auto& s : toolSettings_)
    if (s.doc == doc && s.toolId == toolId) return s.data.get();
  toolSettings_.push_back({doc, toolId, std::make_unique<host::Settings>(toolId)});
  host::Settings* data = toolSettings_.back().data.get();
  t->initDefaultSettings(doc, *data);
  return data;
}

bool SculptImpl::activateTool(host::Document* doc, int32_t toolId) {
  if (!doc || !tool(toolId)) return false;
  doc->data().setInt32(host::kDocActiveTool, toolId);
  return toolData(doc, toolId) != nullptr;
}

bool SculptImpl::runStroke(host::Document* doc, const StrokeInput& input) {
  if (!doc) return false;
  const int32_t toolId = doc->data().getInt32(host::kDocActiveTool);
  host::SculptBrushToolData* t = tool(toolId);
  host::Settings* data = toolData(doc, toolId);
  if (!t || !data) return false;
  last_ = StrokeStats();
  pending_ = &input;
  const bool ok = t->mouseInput(doc, *data);
  pending_ = nullptr;
  return ok;
}

bool SculptImpl::pressButton(host::Document* doc, int32_t buttonId) {
  if (!doc) return false;
  const int32_t toolId = doc->data().getInt32(host::kDocActiveTool);
  host::SculptBrushToolData* t = tool(toolId);
  host::Settings* data = toolData(doc, toolId);
  if (!t || !data) return false;
  // As in the host application, only a button the tool's description shows can be pressed.
  if (const host::Description* d = toolDescription(toolId)) {
    const host::DescriptionParameter* p = d->find(buttonId);
    if (!p || !p->isButton) return false;
  }
  host::DescriptionCommand cmd{buttonId};
  return t->message(doc, *data, host::kMessageDescriptionCommand, &cmd);
}

bool SculptImpl::setParameter(host::Document* doc, int32_t id, const host::Value& v) {
  if (!doc) return false;
  const int32_t toolId = doc->data().getInt32(host::kDocActiveTool);
  host::SculptBrushToolData* t = tool(toolId);
  host::Settings* data = toolData(doc, toolId);
  if (!t || !data) return false;
  data->set(id, v);
  int32_t flags = 0;
  return t->setDParameter(doc, *data, id, v, flags);
}

bool SculptImpl::parameterEnabled(host::Document* doc, int32_t id) {
  if (!doc) return false;
  const int32_t toolId = doc->data().getInt32(host::kDocActiveTool);
  host::SculptBrushToolData* t = tool(toolId);
  host::Settings* data = toolData(doc, toolId);
  if (!t || !data) return false;
  const host::Value* v = data->find(id);
  return t->getDEnabling(doc, *data, id, v ? *v : host::Value(), 0);
}

const host::Description* SculptImpl::toolDescription(int32_t toolId) {
  host::SculptBrushToolData* t = tool(toolId);
  if (!t) return nullptr;
  auto& slot = descriptions_[toolId];
  if (!slot) {
    auto desc = std::make_unique<host::Description>();
    if (!host_.resources().loadDescription(t->getResourceSymbol(), *desc)) return nullptr;
    slot = std::move(desc);
  }
  return slot.get();
}

void SculptImpl::forgetDocument(const host::Document* doc) {
  std::erase_if(toolSettings_, [doc](const ToolSettings& s) { return s.doc == doc; });
}

std::vector<std::pair<int32_t, const host::Settings*>> SculptImpl::toolSettingsOf(
    const host::Document* doc) const {
  std::vector<std::pair<int32_t, const host::Settings*>> out;
  for (const auto& s : toolSettings_)
    if (s.doc == doc) out.emplace_back(s.toolId, s.data.get());
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}

bool SculptImpl::setToolData(host::Document* doc, int32_t toolId, const host::Settings& data) {
  if (!doc || !tool(toolId)) return false;
  for (auto& s : toolSettings_) {
    if (s.doc == doc && s.toolId == toolId) {
      *s.data = data;
      return true;
    }
  }
  toolSettings_.push_back({doc, toolId, std::make_unique<host::Settings>(data)});
  return true;
}

void SculptImpl::forgetDocuments() {
  toolSettings_.clear();
  descriptions_.clear();
}

}  // namespace hostapp
