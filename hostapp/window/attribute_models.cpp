#include "hostapp/window/attribute_models.h"

#include <cmath>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/settings/angle_units.h"
#include "hostapp/settings/prefs_window.h"

namespace hostapp {

namespace {

constexpr int32_t kPreferences = 1037934;
constexpr int32_t kPreferencesPage = 1037935;
constexpr const char* kChannelNames[14] = {
    "Color", "Luminance", "Transparency",   "Reflection", "Environment",  "Fog",       "Bump",
    "Alpha", "Specular",  "Specular Color", "Glow",       "Displacement", "Diffusion", "Normal"};

// A row for a described parameter, without its value.
AttributeRow rowFor(const host::DescriptionParameter& p) {
  AttributeRow row;
  row.id = p.id;
  row.label = p.label.empty() ? p.name : p.label;
  row.help = p.help;
  switch (p.type) {
    case host::ValueType::kBool:
      row.kind = RowKind::kCheck;
      break;
    case host::ValueType::kInt32:
    case host::ValueType::kInt64:
    case host::ValueType::kReal:
      if (p.isChoice) {
        row.kind = RowKind::kChoice;
        row.choices = p.choices;
        break;
      }
      row.kind = RowKind::kSlider;
      row.whole = p.type != host::ValueType::kReal;
      row.min = p.hasMinimum ? p.minimum : 0.0;
      row.max = p.hasMaximum ? p.maximum : std::max(row.min + 1.0, 100.0);
      // Ranges of several decades (radius, texture sizes) are laid out by their logarithm, so that
      // small values can be picked as finely as large ones.
      row.logScale = row.min > 0 && row.max / row.min >= 1000;
      break;
    case host::ValueType::kString:
    case host::ValueType::kFilename:
      row.kind = RowKind::kText;
      break;
    case host::ValueType::kVector:
      row.kind = RowKind::kColor;
      break;
    case host::ValueType::kSpline:
      row.kind = RowKind::kCurve;
      break;
    case host::ValueType::kLink:
      row.kind = RowKind::kChoice;
      break;
    default:
      row.kind = RowKind::kHeading;
      break;
  }
  if (p.isButton) row.kind = RowKind::kButton;
  return row;
}

// The stored value for what a person gave a described parameter; as the command line stores
// it: numbers within the parameter's range, angles in radians.
host::Value storedValue(const host::DescriptionParameter& p, const host::Value& typed) {
  switch (p.type) {
    case host::ValueType::kBool:
      return host::Value::ofBool(typed.toBool());
    case host::ValueType::kInt32:
    case host::ValueType::kInt64:
      return host::Value::ofInt32(static_cast<int32_t>(std::lround(typed.toReal())));
    case host::ValueType::kReal:
      return storedFromTyped(&p, host::Value::ofReal(typed.toReal()));
    case host::ValueType::kString:
      return host::Value::ofString(typed.toString());
    case host::ValueType::kFilename:
      return host::Value::ofFilename(typed.toString());
    default:
      return typed;
  }
}

bool inRange(const host::DescriptionParameter& p, const host::Value& typed) {
  if (!typed.isNumeric() || p.isChoice) return true;
  const double v = typed.toReal();
  return std::isfinite(v) && (!p.hasMinimum || v >= p.minimum) && (!p.hasMaximum || v <= p.maximum);
}

std::string rangeText(const host::DescriptionParameter& p) {
  auto num = [](double v) {
    char t[32];
    std::snprintf(t, sizeof t, "%g", v);
    return std::string(t);
  };
  if (p.hasMinimum && p.hasMaximum) return "from " + num(p.minimum) + " to " + num(p.maximum);
  return p.hasMinimum ? "of at least " + num(p.minimum) : "of at most " + num(p.maximum);
}

}  // namespace

std::vector<AttributeRow> ToolAttributes::rows() {
  std::vector<AttributeRow> rows;
  SculptImpl& sculpt = host_.sculptImpl();
  const int32_t toolId = doc_.data().getInt32(host::kDocActiveTool);
  AttributeRow tool;
  tool.kind = RowKind::kChoice;
  tool.id = kRowTool;
  tool.label = "Tool";
  for (const RegisteredPlugin& p : host_.registration().plugins())
    if (p.kind == PluginKind::kTool) tool.choices.emplace_back(p.id, p.name);
  tool.value = host::Value::ofInt32(toolId);
  rows.push_back(tool);

  const host::Description* desc = toolId ? sculpt.toolDescription(toolId) : nullptr;
  host::Settings* data = toolId ? sculpt.toolData(&doc_, toolId) : nullptr;
  if (desc && data) {
    std::vector<host::Material*> materials;
    for (host::Material* m = doc_.firstMaterial(); m; m = m->next()) materials.push_back(m);
    for (const host::DescriptionParameter& p : desc->parameters()) {
      AttributeRow row = rowFor(p);
      if (row.kind == RowKind::kHeading) continue;
      row.enabled = sculpt.parameterEnabled(&doc_, p.id);
      const host::Value* stored = data->find(p.id);
      row.value = typedFromStored(&p, stored ? *stored : p.defaultValue);
      if (p.type == host::ValueType::kLink) {
        // A link is picked from the document's materials; choice 0 is none.
        row.choices.emplace_back(0, "None");
        int32_t picked = 0;
        for (size_t i = 0; i < materials.size(); ++i) {
          row.choices.emplace_back(static_cast<int32_t>(i + 1), materials[i]->name());
          if (stored && stored->toLink() == materials[i]) picked = static_cast<int32_t>(i + 1);
        }
        row.value = host::Value::ofInt32(picked);
      }
      rows.push_back(std::move(row));
    }
  }
  painterRows(rows);
  return rows;
}

void ToolAttributes::painterRows(std::vector<AttributeRow>& rows) {
  host::PainterState& painter = host_.paintImpl().painter();
  const int32_t channel = std::clamp(painter.activeChannel(), 0, 13);
  AttributeRow heading;
  heading.label = "Painter";
  rows.push_back(heading);
  AttributeRow pick;
  pick.kind = RowKind::kChoice;
  pick.id = kRowChannel;
  pick.label = "Channel";
  for (int32_t c = 0; c < 14; ++c) pick.choices.emplace_back(c, kChannelNames[c]);
  pick.value = host::Value::ofInt32(channel);
  rows.push_back(pick);
  AttributeRow on;
  on.kind = RowKind::kCheck;
  on.id = kRowChannelOn;
  on.label = "Paint Channel";
  on.value = host::Value::ofBool(painter.channelEnabled(channel));
  rows.push_back(on);
  AttributeRow all;
  all.kind = RowKind::kCheck;
  all.id = kRowAll;
  all.label = "All Channels";
  all.value = host::Value::ofBool(painter.paintAllChannels());
  rows.push_back(all);
  for (int32_t slot = 0; slot < 2; ++slot) {
    AttributeRow color;
    color.kind = RowKind::kColor;
    color.id = slot ? kRowSecondary : kRowPrimary;
    color.label = slot ? "Secondary" : "Primary";
    host::Vector rgb;
    double brightness = 1.0;
    painter.color(slot, channel, rgb, brightness);
    color.value = host::Value::ofVector(rgb);
    rows.push_back(color);
    // The painter multiplies the colour by its brightness; the bar reaches twice the colour,
    // a typed value goes further.
    AttributeRow bright;
    bright.kind = RowKind::kSlider;
    bright.id = slot ? kRowSecondaryBrightness : kRowPrimaryBrightness;
    bright.label = "Brightness";
    bright.min = 0.0;
    bright.max = 2.0;
    bright.value = host::Value::ofReal(brightness);
    rows.push_back(bright);
  }
}

bool ToolAttributes::change(const AttributeRow& row, const host::Value& value) {
  message.clear();
  host::PainterState& painter = host_.paintImpl().painter();
  const int32_t channel = std::clamp(painter.activeChannel(), 0, 13);
  switch (row.id) {
    case kRowTool:
      return host_.sculptImpl().activateTool(&doc_, value.toInt32());
    case kRowChannel:
      painter.setActiveChannel(std::clamp(value.toInt32(), 0, 13));
      return true;
    case kRowChannelOn:
      painter.setChannelEnabled(channel, value.toBool());
      return true;
    case kRowAll:
      painter.setPaintAllChannels(value.toBool());
      return true;
    case kRowPrimary:
    case kRowSecondary: {
      const int32_t slot = row.id == kRowSecondary ? 1 : 0;
      host::Vector old;
      double brightness = 1.0;
      painter.color(slot, channel, old, brightness);
      const host::Vector& v = value.toVector();
      painter.setColor(
          slot, channel,
          {std::clamp(v.x, 0.0, 1.0), std::clamp(v.y, 0.0, 1.0), std::clamp(v.z, 0.0, 1.0)},
          brightness);
      return true;
    }
    case kRowPrimaryBrightness:
    case kRowSecondaryBrightness: {
      const int32_t slot = row.id == kRowSecondaryBrightness ? 1 : 0;
      const double b = value.toReal();
      if (!std::isfinite(b) || b < 0) {
        message = "Brightness takes a number from 0 up.";
        return false;
      }
      host::Vector rgb;
      double old = 1.0;
      painter.color(slot, channel, rgb, old);
      painter.setColor(slot, channel, rgb, b);
      return true;
    }
    default:
      break;
  }
  const int32_t toolId = doc_.data().getInt32(host::kDocActiveTool);
  const host::Description* desc = toolId ? host_.sculptImpl().toolDescription(toolId) : nullptr;
  const host::DescriptionParameter* p = desc ? desc->find(row.id) : nullptr;
  if (!p) return false;
  if (!inRange(*p, value)) {
    message = row.label + " takes a number " + rangeText(*p) + ".";
    return false;
  }
  host::Value stored = storedValue(*p, value);
  if (p->type == host::ValueType::kLink) {
    host::Material* picked = nullptr;
    int32_t index = value.toInt32();
    for (host::Material* m = doc_.firstMaterial(); m && index > 0; m = m->next())
      if (--index == 0) picked = m;
    stored = host::Value::ofLink(picked);
  }
  // A tool's files are its stamp and stencil images: one that cannot be read is not taken.
  if (p->type == host::ValueType::kFilename && !stored.toString().empty() &&
      !host_.sculptImpl().image(stored.toString())) {
    message = "The image " + stored.toString() + " could not be read.";
    return false;
  }
  return host_.sculptImpl().setParameter(&doc_, row.id, stored);
}

bool ToolAttributes::press(const AttributeRow& row) {
  message.clear();
  if (!host_.sculptImpl().pressButton(&doc_, row.id)) {
    message = row.label + " did nothing: select a polygon object with a painted material first.";
    return false;
  }
  return true;
}

PreferenceAttributes::PreferenceAttributes(EmbeddedHost& host) : host_(host) {
  // The page works on the preferences container; it is made empty when the world has none yet.
  if (host::Settings* world = host_.settings().world())
    if (!world->getContainer(kPreferences))
      world->setContainer(kPreferences, host::Settings(kPreferences));
  page_ = std::make_unique<PrefsWindow>(host_, kPreferencesPage);
}

PreferenceAttributes::~PreferenceAttributes() = default;

std::vector<AttributeRow> PreferenceAttributes::rows() {
  std::vector<AttributeRow> rows;
  AttributeRow heading;
  const RegisteredPlugin* page = host_.registration().find(kPreferencesPage);
  heading.label = page ? page->name : "Preferences";
  rows.push_back(heading);
  if (!page_->open()) {
    AttributeRow none;
    none.label = "The preferences page could not be loaded.";
    rows.push_back(none);
    return rows;
  }
  for (const host::DescriptionParameter& p : page_->parameters()) {
    AttributeRow row = rowFor(p);
    if (row.kind == RowKind::kHeading) continue;
    row.enabled = page_->enabled(p.id);
    row.value = typedFromStored(&p, page_->get(p.id));
    rows.push_back(std::move(row));
  }
  return rows;
}

bool PreferenceAttributes::change(const AttributeRow& row, const host::Value& value) {
  message.clear();
  const host::DescriptionParameter* p = page_->open() ? page_->description().find(row.id) : nullptr;
  if (!p) return false;
  if (!inRange(*p, value)) {
    message = row.label + " takes a number " + rangeText(*p) + ".";
    return false;
  }
  return page_->set(row.id, storedValue(*p, value));
}

bool PreferenceAttributes::press(const AttributeRow&) {
  return false;
}

}  // namespace hostapp
