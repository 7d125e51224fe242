// Steps that set up the painter and the tools, paint, fill (through the plug-in's fill and bleed
// commands) and undo.
#include <filesystem>

#include "cli/named_settings.h"
#include "cli/steps.h"
#include "cli/stroke_feedback.h"
#include "cli/uv_path.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/settings/prefs_window.h"

namespace pigmora::cli {

namespace {

constexpr int32_t kPaintBrush = 1035414;
constexpr int32_t kPreferences = 1037934;
constexpr int32_t kPreferencesPage = 1037935;
constexpr int32_t kStampOn = 10601;
constexpr int32_t kStencilOn = 10401;
constexpr int32_t kFalloffCurve = 10303;
// Stroke radii: a square that neither underflows nor covers more than any scene holds.
constexpr double kMinRadius = 1e-6;
constexpr double kMaxRadius = 1e9;
constexpr int32_t kBleedWidth = 1008;
constexpr int32_t kCommandBleed = 1037976;
constexpr int32_t kCommandFillLayer = 1037977;
constexpr int32_t kCommandFillLayerUVs = 1038000;
constexpr int32_t kCommandFillIslands = 1037978;

host::PolygonObject* targetObject(JobContext& ctx, const Json& step) {
  if (step.contains("object")) {
    host::PolygonObject* obj = ctx.polygonObject(stringOf(step, "object"));
    ctx.doc->setActiveObject(obj);
    return obj;
  }
  host::Object* active = ctx.doc->activeObject();
  if (!active || active->type() != host::kTypePolygonObject)
    throw StepError("no polygon object is active; name one with \"object\"");
  return static_cast<host::PolygonObject*>(active);
}

// Settings of the document's active tool.
host::Settings& activeToolSettings(JobContext& ctx, int32_t& toolId) {
  toolId = ctx.doc->data().getInt32(host::kDocActiveTool);
  host::Settings* data = toolId ? ctx.host.sculptImpl().toolData(ctx.doc, toolId) : nullptr;
  if (!data) throw StepError("no paint tool is active; activate one with a \"tool\" step");
  return *data;
}

// The host stores a parameter the user changed, then tells the tool.
void setToolParameter(JobContext& ctx, int32_t toolId, host::Settings& data, int32_t id,
                      host::Value v) {
  if (ctx.doc->data().getInt32(host::kDocActiveTool) == toolId) {
    ctx.host.sculptImpl().setParameter(ctx.doc, id, v);
  } else {
    data.set(id, v);
  }
}

std::string painterStep(JobContext& ctx, const Json& step) {
  host::PainterState& painter = ctx.host.paintImpl().painter();
  std::string summary;
  auto note = [&summary](const std::string& s) { summary += (summary.empty() ? "" : ", ") + s; };
  if (step.contains("colors")) {
    const Json& colors = step["colors"];
    if (!colors.is_object()) throw StepError("\"colors\" must map channels to colours");
    for (auto it = colors.begin(); it != colors.end(); ++it) {
      const int32_t channel = channelOf(Json(it.key()));
      const Json& c = it.value();
      if (!c.is_object()) throw StepError("the colours of \"" + it.key() + "\" must be an object");
      const double brightness = numberOr(c, "brightness", 1.0);
      const char* slots[2] = {"primary", "secondary"};
      for (int32_t slot = 0; slot < 2; ++slot) {
        if (!c.contains(slots[slot])) continue;
        painter.setColor(slot, channel, vectorOf(c[slots[slot]], slots[slot]), brightness);
      }
    }
    note(std::to_string(colors.size()) + " channel colours");
  }
  if (step.contains("enabled")) {
    const Json& enabled = step["enabled"];
    if (!enabled.is_object()) throw StepError("\"enabled\" must map channels to true or false");
    for (auto it = enabled.begin(); it != enabled.end(); ++it) {
      if (!it.value().is_boolean())
        throw StepError("\"enabled\" must map channels to true or false");
      painter.setChannelEnabled(channelOf(Json(it.key())), it.value().get<bool>());
    }
    note(std::to_string(enabled.size()) + " channels switched");
  }
  if (step.contains("paint_all")) {
    painter.setPaintAllChannels(boolOr(step, "paint_all", false));
    note(std::string("paint all channels ") + (painter.paintAllChannels() ? "on" : "off"));
  }
  if (step.contains("multi_channel")) painter.setMultiChannel(boolOr(step, "multi_channel", false));
  if (step.contains("active_channel")) painter.setActiveChannel(channelOf(step["active_channel"]));
  if (step.contains("texture")) {
    const Json& t = step["texture"];
    if (!t.is_object()) throw StepError("\"texture\" must name a material and a channel");
    const int32_t channel = t.contains("channel") ? channelOf(t["channel"]) : 0;
    painter.setSelectedTexture(ctx.texture(stringOf(t, "material"), channel));
    note("painting " + stringOf(t, "material") + " " + channelKey(channel));
  }
  return summary;
}

// The painting preferences in the world settings, stored empty first when missing.
host::Settings& preferences(JobContext& ctx) {
  host::Settings* world = ctx.host.settings().world();
  if (!world) throw StepError("the world settings are not available");
  if (!world->getContainer(kPreferences))
    world->setContainer(kPreferences, host::Settings(kPreferences));
  return *world->getContainer(kPreferences);
}

std::string preferencesStep(JobContext& ctx, const Json& step) {
  preferences(ctx);
  const SettingsScope scope = preferencesScope(ctx.host);
  // Parameters of the page are set through it, as the user sets them; the container's other
  // keys are written as they are.
  hostapp::PrefsWindow page(ctx.host, kPreferencesPage);
  const Json& values = require(step, "values");
  for (auto it = values.begin(); it != values.end(); ++it) {
    const std::string path = keyPath("values", it.key());
    const SettingRef ref = findSetting(scope, it.key(), path);
    const host::Value v = settingValue(&ctx, ref, it.value(), path);
    if (ref.param && page.open())
      page.set(ref.id, v);
    else
      preferences(ctx).set(ref.id, v);
  }
  return std::to_string(values.size()) + " preferences";
}

std::string worldStep(JobContext& ctx, const Json& step) {
  host::Settings* world = ctx.host.settings().world();
  if (!world) throw StepError("the world settings are not available");
  const SettingsScope scope = worldScope();
  const Json& values = require(step, "settings");
  std::string summary;
  for (auto it = values.begin(); it != values.end(); ++it) {
    const std::string path = keyPath("settings", it.key());
    const SettingRef ref = findSetting(scope, it.key(), path);
    world->set(ref.id, settingValue(&ctx, ref, it.value(), path));
    summary += (summary.empty() ? "" : ", ") + ref.param->name + " " + it.value().dump();
  }
  return summary;
}

std::string toolStep(JobContext& ctx, const Json& step) {
  // Without an id the active tool stays (the paint brush when none is active yet).
  const int32_t active = ctx.doc->data().getInt32(host::kDocActiveTool);
  const int32_t id = intOr(step, "id", active ? active : kPaintBrush);
  if (!ctx.host.sculptImpl().activateTool(ctx.doc, id))
    throw StepError("\"id\": the plug-in registers no tool with the id " + std::to_string(id));
  int32_t toolId = 0;
  host::Settings& data = activeToolSettings(ctx, toolId);
  int32_t changed = 0;
  if (step.contains("settings")) {
    const SettingsScope scope = toolScope(ctx.host, toolId);
    const Json& settings = step["settings"];
    for (auto it = settings.begin(); it != settings.end(); ++it, ++changed) {
      const std::string path = keyPath("settings", it.key());
      const SettingRef ref = findSetting(scope, it.key(), path);
      setToolParameter(ctx, toolId, data, ref.id, settingValue(&ctx, ref, it.value(), path));
    }
  }
  struct Image {
    const char* key;
    int32_t on, file;
  };
  for (const Image& image : {Image{"stamp", kStampOn, host::kBrushStamp},
                             Image{"stencil", kStencilOn, host::kBrushStencil}}) {
    if (!step.contains(image.key)) continue;
    ++changed;
    if (step[image.key].is_null()) {
      setToolParameter(ctx, toolId, data, image.on, host::Value::ofBool(false));
      continue;
    }
    const std::string file =
        std::filesystem::absolute(ctx.inputFile(stringOf(step, image.key))).string();
    ctx.requireImage(file);
    if (!ctx.host.sculptImpl().image(file)) {
      std::string why = ctx.host.sculptImpl().lastImageError();
      if (why.find(file) == std::string::npos)
        throw StepError("the image " + file + " could not be read");
      // The reader's own sentence, as a clause of the step's.
      if (why.back() == '.') why.pop_back();
      if (why.rfind("The ", 0) == 0) why[0] = 't';
      throw StepError(why);
    }
    setToolParameter(ctx, toolId, data, image.file, host::Value::ofFilename(file));
    setToolParameter(ctx, toolId, data, image.on, host::Value::ofBool(true));
  }
  if (step.contains("falloff")) {
    ++changed;
    SettingRef ref{kFalloffCurve, nullptr};
    setToolParameter(ctx, toolId, data, kFalloffCurve,
                     settingValue(&ctx, ref, jsonObject({{"spline", step["falloff"]}}), "falloff"));
  }
  const hostapp::RegisteredPlugin* p = ctx.host.registration().find(toolId);
  return std::to_string(id) + " \"" + (p ? p->name : "") + "\" active, " + std::to_string(changed) +
         " settings";
}

std::vector<host::Vector> pathOf(const Json& step, const char* key) {
  const Json& path = step[key];
  if (!path.is_array() || path.empty())
    throw StepError(std::string("\"") + key + "\" must be a list of points");
  std::vector<host::Vector> out;
  for (const Json& p : path) out.push_back(vectorOf(p, "every point of the path"));
  return out;
}

std::string strokeStep(JobContext& ctx, const Json& step) {
  host::PolygonObject* obj = targetObject(ctx, step);
  int32_t toolId = 0;
  activeToolSettings(ctx, toolId);
  hostapp::StrokeInput input;
  if (step.contains("surface")) {
    input.path = pathOf(step, "surface");
  } else if (step.contains("uv")) {
    input.path = uvPathToSurface(*obj, pathOf(step, "uv"));
    if (input.path.empty())
      throw StepError("the UV path lies on none of the polygons of " + obj->name());
  } else if (step.contains("screen")) {
    input.space = hostapp::StrokeInput::Space::kScreen;
    input.path = pathOf(step, "screen");
    input.camera = ctx.camera(stringOf(step, "camera"));
    if (step.contains("view")) {
      const host::Vector view = vectorOf(step["view"], "\"view\"");
      if (!(view.x >= 1 && view.y >= 1))
        throw StepError("\"view\" must be [width, height] in pixels");
      input.viewWidth = static_cast<int32_t>(view.x);
      input.viewHeight = static_cast<int32_t>(view.y);
    }
  } else {
    throw StepError("a stroke needs a \"surface\", \"uv\" or \"screen\" path");
  }
  if (step.contains("radius")) {
    input.radius = numberOf(step, "radius");
    if (!(*input.radius >= kMinRadius && *input.radius <= kMaxRadius))
      throw StepError("\"radius\" must lie between 0.000001 and 1000000000");
  }
  if (step.contains("strength")) input.strength = numberOf(step, "strength");
  if (step.contains("spacing")) {
    input.spacing = numberOf(step, "spacing");
    if (!(*input.spacing > 0)) throw StepError("\"spacing\" must be above 0");
  }
  if (boolOr(step, "secondary", false)) input.dabFlags |= host::kDabFlagSecondary;
  if (boolOr(step, "blur", false)) input.dabFlags |= host::kDabFlagBlur;
  if (ctx.progress)
    input.progress = [&ctx](int32_t done, int32_t total) {
      ctx.progress("stroke", total > 0 ? static_cast<double>(done) / total : 1.0,
                   std::to_string(done) + "/" + std::to_string(total) + " dabs");
    };
  const PaintWatch watch = watchTextures(ctx);
  if (!ctx.host.sculptImpl().runStroke(ctx.doc, input))
    throw StepError("the tool " + std::to_string(toolId) + " could not run the stroke on " +
                    obj->name());
  const hostapp::StrokeStats& stats = ctx.host.sculptImpl().lastStroke();
  std::string summary = obj->name() + ": " + std::to_string(stats.dabs) + " dabs";
  if (stats.missed) summary += ", " + std::to_string(stats.missed) + " off the surface";
  if (!paintedSince(ctx, watch)) {
    const std::string why = whyNothingPainted(ctx, obj, stats, input);
    summary += "; painted nothing: " + why;
    ctx.warnings.push_back("the stroke painted nothing: " + why);
  }
  return summary;
}

std::string buttonStep(JobContext& ctx, const Json& step) {
  if (step.contains("object")) targetObject(ctx, step);
  int32_t toolId = 0;
  activeToolSettings(ctx, toolId);
  const int32_t id = intOf(step, "id");
  if (!ctx.host.sculptImpl().pressButton(ctx.doc, id))
    throw StepError("the tool " + std::to_string(toolId) + " did not take the button " +
                    std::to_string(id));
  return "button " + std::to_string(id) + " of tool " + std::to_string(toolId);
}

// The bleed width of "QOR Apply Bleed" is a preference (1008); a step that gives a distance uses
// it for its own run only.
class BleedWidth {
 public:
  BleedWidth(JobContext& ctx, const Json& step) {
    if (!step.contains("distance")) return;
    const int32_t distance = intOf(step, "distance");
    if (distance < 0) throw StepError("\"distance\" must be 0 or more");
    prefs_ = &preferences(ctx);
    if (const host::Value* v = prefs_->find(kBleedWidth)) before_ = *v;
    prefs_->setInt32(kBleedWidth, distance);
  }
  ~BleedWidth() {
    if (!prefs_) return;
    if (before_.type() == host::ValueType::kNone)
      prefs_->remove(kBleedWidth);
    else
      prefs_->set(kBleedWidth, before_);
  }
  BleedWidth(const BleedWidth&) = delete;
  BleedWidth& operator=(const BleedWidth&) = delete;

 private:
  host::Settings* prefs_ = nullptr;
  host::Value before_;
};

std::string fillStep(JobContext& ctx, const Json& step) {
  host::PolygonObject* obj = targetObject(ctx, step);
  const std::string mode = stringOf(step, "mode");
  struct Mode {
    const char* name;
    int32_t command;
  };
  static constexpr Mode kModes[] = {{"bleed", kCommandBleed},
                                    {"layer", kCommandFillLayer},
                                    {"uvs", kCommandFillLayerUVs},
                                    {"islands", kCommandFillIslands}};
  const Mode* m = nullptr;
  for (const Mode& k : kModes)
    if (mode == k.name) m = &k;
  if (!m)
    throw StepError("there is no fill mode \"" + mode + "\" (use bleed, layer, uvs or islands)");
  if (step.contains("distance") && mode != "bleed")
    throw StepError("only the bleed takes a \"distance\"");
  const hostapp::RegisteredPlugin* p = ctx.host.registration().find(m->command);
  if (!p || p->kind != hostapp::PluginKind::kCommand)
    throw StepError("the plug-in registers no command " + std::to_string(m->command));
  const BleedWidth width(ctx, step);
  if (!ctx.host.registration().callCommand(m->command, 0))
    throw StepError("the command " + std::to_string(m->command) + " \"" + p->name +
                    "\" did not run on " + obj->name());
  return obj->name() + ": " + mode + " by command " + std::to_string(m->command) + " \"" + p->name +
         "\"";
}

std::string undoStep(JobContext& ctx, const Json& step) {
  const int32_t times = intOr(step, "times", 1);
  for (int32_t i = 0; i < times; ++i)
    if (!ctx.doc->undo()) throw StepError("there is nothing left to undo");
  return std::to_string(times) + (times == 1 ? " step" : " steps");
}

std::string redoStep(JobContext& ctx, const Json& step) {
  const int32_t times = intOr(step, "times", 1);
  for (int32_t i = 0; i < times; ++i)
    if (!ctx.doc->redo()) throw StepError("there is nothing left to redo");
  return std::to_string(times) + (times == 1 ? " step" : " steps");
}

}  // namespace

void addPaintSteps(StepTable& t) {
  t.add("painter",
        "The painter state: colours per channel, enabled channels, paint-all-channels, the "
        "active channel and the texture selected for painting.",
        object({opt("colors",
                    channelMap(object(
                        {opt("primary", colour01(), "Colour 0, painted by default."),
                         opt("secondary", colour01(), "Colour 1, painted with \"secondary\"."),
                         opt("brightness", number().from(0), "Multiplies both colours (1).")})),
                    "Colours by channel."),
                opt("enabled", channelMap(flag()), "Channels switched on or off for painting."),
                opt("paint_all", flag(), "Paint every enabled channel at once."),
                opt("multi_channel", flag(), "The host's multi-channel mode."),
                opt("active_channel", channelName(), "The painter's active channel."),
                opt("texture",
                    object({req("material", text(), "The material."),
                            opt("channel", channelName(), "The channel (color).")}),
                    "The texture selected for painting.")}),
        painterStep);
  t.add("preferences", "Values of the painting preferences (world settings sub-container 1037934).",
        object({req("values", settingsOf(SettingsOwner::kPreferences),
                    "Preferences by page parameter id, container key or name (pigmora describe "
                    "prefs).")}),
        preferencesStep);
  t.add("world", "World settings of the host, such as the undo depth (1018).",
        object({req("settings", settingsOf(SettingsOwner::kWorld),
                    "World settings by id or name (pigmora describe world).")}),
        worldStep);
  t.add("tool", "Makes a tool active and changes its settings as the user changes them.",
        object({opt("id", whole().between(1, 2147483647),
                    "The tool's plug-in id (the active one, else 1035414)."),
                opt("settings", settingsOf(SettingsOwner::kTool),
                    "Tool settings by id or name (pigmora describe TOOL)."),
                opt("stamp", anyOf({text(), nothing()}),
                    "A stamp image, relative to the job; null switches the stamp off."),
                opt("stencil", anyOf({text(), nothing()}),
                    "A stencil image, relative to the job; null switches the stencil off."),
                opt("falloff",
                    listOf(listOf(number().between(0, 1), 2, 2), 2)
                        .described("a curve of two or more [x, y] knots from 0 to 1"),
                    "The falloff curve (setting 10303) as [x, y] knots.")}),
        toolStep);
  t.add("stroke", "A stroke of the active tool along a surface, UV or screen path.",
        object({opt("object", text(), "The polygon object (the active one); it becomes active."),
                opt("surface", pathOf(3), "World-space points on or near the surface."),
                opt("uv", pathOf(2), "A path in UV space, carried onto the surface."),
                opt("screen", pathOf(2), "Screen pixels seen through \"camera\"."),
                opt("camera", text(), "The camera of a screen path."),
                opt("view", listOf(number().from(1), 2, 2).described("[width, height] in pixels"),
                    "The view of a screen path ([800, 600])."),
                opt("radius", number().between(kMinRadius, kMaxRadius),
                    "Brush radius: scene units, or pixels for screen paths (tool setting 10200)."),
                opt("strength", number().between(0, 1), "Brush strength (tool setting 10201)."),
                opt("spacing", number().above(0), "Dab spacing in radii (tool setting 10202)."),
                opt("secondary", flag(), "Paint with the secondary colours."),
                opt("blur", flag(), "Hold the blur modifier.")})
            .oneOf({"surface", "uv", "screen"})
            .needing("screen", "camera"),
        strokeStep);
  t.add("button", "Presses a button of the active tool's description.",
        object({opt("object", text(), "The polygon object to make active first."),
                req("id", whole().between(-2147483648.0, 2147483647),
                    "The button's id (20001 bleed, 20004 fill UV islands ...).")}),
        buttonStep);
  t.add("fill",
        "Fills or bleeds the object's textures through the plug-in's fill and bleed commands.",
        object({opt("object", text(), "The polygon object (the active one)."),
                req("mode", word({"bleed", "layer", "uvs", "islands"}), "What to fill."),
                opt("distance", whole().from(0),
                    "Bleed distance in pixels, for the bleed only (the preference bleed_width).")}),
        fillStep);
  t.add("undo", "Undoes the newest steps of the document's undo list.",
        object({opt("times", whole().from(1), "How many (1).")}), undoStep);
  t.add("redo", "Redoes the steps undone last.",
        object({opt("times", whole().from(1), "How many (1).")}), redoStep);
}

}  // namespace pigmora::cli
