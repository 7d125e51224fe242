#include "cli/scene_report.h"

#include <algorithm>

#include "cli/document_summary.h"
#include "cli/named_settings.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/core/host_descriptions.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/settings/prefs_window.h"
#include "plugin/managerscenehook.h"

namespace pigmora::cli {

namespace {

constexpr int32_t kPreferences = 1037934;
constexpr int32_t kPreferencesPage = 1037935;

Json vec(const host::Vector& v) {
  auto plain = [](double c) { return c == 0 ? 0.0 : c; };  // no "-0"
  return {plain(v.x), plain(v.y), plain(v.z)};
}

Json indices(const host::Selection& s) {
  return s.indices();
}

Json tagJson(host::Tag* tag) {
  Json t = jsonObject({{"type", tag->type()}});
  if (!tag->name().empty()) t["name"] = tag->name();
  switch (tag->type()) {
    case host::kTypeUVWTag:
      t["kind"] = "UVW";
      t["count"] = static_cast<host::UVWTag*>(tag)->count();
      break;
    case host::kTypeTextureTag: {
      auto* tex = static_cast<host::TextureTag*>(tag);
      t["kind"] = "texture";
      t["material"] = tex->material() ? Json(tex->material()->name()) : Json();
      t["restriction"] = tag->data().getString(host::kTexRestriction);
      t["projection"] = tag->data().getInt32(host::kTexProjection);
      t["tiling"] = tag->data().getBool(host::kTexTiling);
      break;
    }
    case host::kTypePolygonSelectionTag:
      t["kind"] = "polygon selection";
      t["polygons"] = indices(static_cast<host::SelectionTag*>(tag)->selection());
      break;
    case host::kTypePointTag:
    case host::kTypePolygonTag:
      t["kind"] = tag->type() == host::kTypePointTag ? "point" : "polygon";
      t["count"] = static_cast<host::DataTag*>(tag)->count();
      break;
    default:
      break;
  }
  return t;
}

Json objectJson(JobContext& ctx, host::Object* obj, const ReportOptions& options) {
  Json o = jsonObject({{"name", obj->name()}, {"type", objectKind(obj)}});
  if (obj->up()) o["parent"] = obj->up()->name();
  o["position"] = vec(obj->globalMatrix().off);
  o["active"] = ctx.doc->activeObject() == obj;
  o["selected"] = obj->isSelected();
  if (obj->type() == host::kTypeCamera)
    o["focal"] = static_cast<host::CameraObject*>(obj)->focalLength();
  if (obj->type() == host::kTypePolygonObject) {
    auto* poly = static_cast<host::PolygonObject*>(obj);
    o["points"] = poly->pointCount();
    o["polygons"] = poly->polygonCount();
    o["selection"] = jsonObject({{"points", indices(poly->pointSelection())},
                                 {"edges", indices(poly->edgeSelection())},
                                 {"polygons", indices(poly->polygonSelection())}});
    auto* uvw = static_cast<host::UVWTag*>(poly->tag(host::kTypeUVWTag));
    if (uvw && !options.polygons.empty()) {
      Json uvs = Json::object();
      for (int32_t p : options.polygons) {
        if (p < 0 || p >= poly->polygonCount() || p >= uvw->count()) continue;
        const host::UVWPolygon uv = uvw->get(p);
        const int corners = poly->polygons()[p].isTriangle() ? 3 : 4;
        Json list = Json::array();
        for (int k = 0; k < corners; ++k) list.push_back({uv.corner(k).x, uv.corner(k).y});
        uvs[std::to_string(p)] = list;
      }
      o["uvs"] = uvs;
    }
  }
  Json tags = Json::array();
  for (int32_t i = 0; i < obj->tagCount(); ++i) tags.push_back(tagJson(obj->tagAt(i)));
  o["tags"] = tags;
  return o;
}

Json textureJson(host::PaintTexture* tex) {
  Json t = jsonObject({{"width", tex->width()},
                       {"height", tex->height()},
                       {"mode", colorModeName(tex->colorMode())},
                       {"file", tex->filePath()}});
  Json layers = Json::array();
  for (host::PaintBitmap* l = tex->firstLayer(); l; l = l->next()) {
    auto* impl = dynamic_cast<hostapp::PaintLayerImpl*>(l);
    layers.push_back(jsonObject({{"name", l->name()},
                                 {"mode", colorModeName(l->colorMode())},
                                 {"width", l->width()},
                                 {"height", l->height()},
                                 {"visible", impl ? impl->visible() : true},
                                 {"active", l == tex->activeLayer()}}));
  }
  t["layers"] = layers;
  return t;
}

Json materialsJson(JobContext& ctx) {
  Json list = Json::array();
  const std::vector<host::Material*> selected = ctx.doc->selectedMaterials();
  for (host::Material* m = ctx.doc->firstMaterial(); m; m = m->next()) {
    Json mj =
        jsonObject({{"name", m->name()},
                    {"active", ctx.doc->activeMaterial() == m},
                    {"selected", std::find(selected.begin(), selected.end(), m) != selected.end()},
                    {"color", vec(m->data().getVector(host::kMatColor))}});
    Json channels = Json::array();
    for (int32_t c = 0; c < 14; ++c) {
      if (!m->channelEnabled(c)) continue;
      Json cj = jsonObject({{"channel", channelKey(c)}, {"index", c}});
      host::Channel* ch = m->channel(c);
      const std::string file = ch ? ch->data().getFilename(host::kChannelFile) : std::string();
      cj["file"] = file;
      const std::string folder =
          ch ? ch->data().getFilename(host::kChannelDirectory) : std::string();
      if (!folder.empty()) cj["folder"] = folder;
      host::PaintTexture* tex =
          file.empty() ? nullptr : ctx.host.paintImpl().textureOf(m, c, ctx.doc);
      cj["texture"] = tex ? textureJson(tex) : Json();
      channels.push_back(cj);
    }
    mj["channels"] = channels;
    list.push_back(mj);
  }
  return list;
}

// Which material and channel a texture belongs to, for naming it.
Json textureOwner(JobContext& ctx, host::PaintTexture* tex) {
  if (!tex) return Json();
  for (host::Material* m = ctx.doc->firstMaterial(); m; m = m->next())
    for (int32_t c = 0; c < 14; ++c)
      if (m->channelEnabled(c) && m->channel(c) &&
          !m->channel(c)->data().getFilename(host::kChannelFile).empty() &&
          ctx.host.paintImpl().textureOf(m, c, ctx.doc) == tex)
        return jsonObject({{"material", m->name()}, {"channel", channelKey(c)}});
  return jsonObject({{"file", tex->filePath()}});
}

Json painterJson(JobContext& ctx) {
  host::PainterState& painter = ctx.host.paintImpl().painter();
  Json enabled = Json::array();
  Json colors = Json::object();
  for (int32_t c = 0; c < 14; ++c) {
    if (!painter.channelEnabled(c)) continue;
    enabled.push_back(channelKey(c));
    Json cj = Json::object();
    Json brightness = Json::array();
    const char* slots[2] = {"primary", "secondary"};
    for (int32_t s = 0; s < 2; ++s) {
      host::Vector color;
      double b = 1.0;
      if (!painter.color(s, c, color, b)) continue;
      cj[slots[s]] = vec(color);
      brightness.push_back(b);
    }
    cj["brightness"] = brightness;
    colors[channelKey(c)] = cj;
  }
  return jsonObject({{"paint_all", painter.paintAllChannels()},
                     {"multi_channel", painter.multiChannel()},
                     {"active_channel", channelKey(painter.activeChannel())},
                     {"texture", textureOwner(ctx, painter.selectedTexture())},
                     {"enabled", enabled},
                     {"colors", colors}});
}

Json toolJson(JobContext& ctx) {
  const int32_t id = ctx.doc->data().getInt32(host::kDocActiveTool);
  if (!id) return Json();
  const hostapp::RegisteredPlugin* p = ctx.host.registration().find(id);
  Json t = jsonObject({{"id", id}, {"name", p ? p->name : ""}});
  host::Settings* data = ctx.host.sculptImpl().toolData(ctx.doc, id);
  const host::Description* desc = ctx.host.sculptImpl().toolDescription(id);
  Json settings = Json::array();
  if (data && desc) {
    for (const auto& param : desc->parameters()) {
      if (param.isButton) continue;
      const host::Value* v = data->find(param.id);
      settings.push_back(
          jsonObject({{"id", param.id},
                      {"name", param.name},
                      {"value", v ? settingJson(&param, *v) : Json()},
                      {"enabled", ctx.host.sculptImpl().parameterEnabled(ctx.doc, param.id)}}));
    }
  }
  t["settings"] = settings;
  return t;
}

Json preferencesJson(JobContext& ctx) {
  host::Settings* world = ctx.host.settings().world();
  if (!world) return Json();
  Json out = jsonObject({{"container", kPreferences}});
  const std::map<int32_t, int32_t> keyOf = preferenceKeys(ctx.host);
  const host::Settings* stored = world->getContainer(kPreferences);
  Json keys = Json::object();
  if (stored)
    for (const auto& [key, value] : stored->entries()) keys[std::to_string(key)] = valueJson(value);
  // Opening the page fills in defaults; what the job set is put back afterwards.
  const bool had = stored != nullptr;
  const host::Settings before = had ? *stored : host::Settings(kPreferences);
  Json settings = Json::array();
  {
    hostapp::PrefsWindow page(ctx.host, kPreferencesPage);
    for (const auto& param : page.parameters()) {
      const auto key = keyOf.find(param.id);
      const host::Value* v = key == keyOf.end() || !had ? nullptr : before.find(key->second);
      Json sj = jsonObject({{"id", param.id},
                            {"name", param.name},
                            {"key", key == keyOf.end() ? Json() : Json(key->second)},
                            {"value", v ? settingJson(&param, *v) : Json()},
                            {"enabled", page.enabled(param.id)}});
      settings.push_back(sj);
    }
  }
  if (had)
    world->setContainer(kPreferences, before);
  else
    world->remove(kPreferences);
  out["settings"] = settings;
  out["keys"] = keys;
  return out;
}

Json worldJson(JobContext& ctx) {
  host::Settings* world = ctx.host.settings().world();
  if (!world) return Json();
  Json list = Json::array();
  for (const auto& [key, value] : world->entries()) {
    if (key == kPreferences) continue;
    const host::DescriptionParameter* p = hostapp::worldDescription().find(key);
    list.push_back(
        jsonObject({{"id", key}, {"name", p ? p->name : ""}, {"value", settingJson(p, value)}}));
  }
  return list;
}

Json undoJson(JobContext& ctx) {
  const hostapp::UndoList& undo = ctx.doc->undoList();
  Json groups = Json::array();
  for (size_t i = 0; i < undo.undoCount(); ++i) {
    Json entries = Json::array();
    for (const auto& e : undo.undoGroup(i)) {
      Json ej = jsonObject({{"kind", e->kind()}});
      if (!e->text().empty()) ej["text"] = e->text();
      entries.push_back(ej);
    }
    groups.push_back(entries);
  }
  return jsonObject(
      {{"undo_count", undo.undoCount()}, {"redo_count", undo.redoCount()}, {"groups", groups}});
}

Json eventsJson(JobContext& ctx) {
  const hostapp::EventLog& log = ctx.host.events();
  JobContext::EventMarks& mark = ctx.printed;
  Json specials = Json::array();
  for (size_t i = mark.specials; i < log.specials().size(); ++i)
    specials.push_back(jsonObject({{"id", log.specials()[i].id},
                                   {"p1", log.specials()[i].p1},
                                   {"p2", log.specials()[i].p2}}));
  Json posted = Json::array();
  for (size_t i = mark.posted; i < log.posted().size(); ++i) posted.push_back(log.posted()[i]);
  Json console = Json::array();
  for (size_t i = mark.console; i < log.console().size(); ++i) console.push_back(log.console()[i]);
  Json out = jsonObject({{"updates", log.updates() - mark.updates},
                         {"special", specials},
                         {"posted", posted},
                         {"redraws", log.redraws().size() - mark.redraws},
                         {"console", console}});
  mark = {log.specials().size(), log.posted().size(), log.redraws().size(), log.console().size(),
          log.updates()};
  return out;
}

Json commandsJson(JobContext& ctx) {
  Json list = Json::array();
  for (const auto& p : ctx.host.registration().plugins()) {
    if (p.kind != hostapp::PluginKind::kCommand || !p.command) continue;
    const int32_t state = p.command->getState(ctx.doc);
    list.push_back(jsonObject({{"id", p.id},
                               {"name", p.name},
                               {"state", state},
                               {"enabled", (state & host::CommandData::kStateEnabled) != 0}}));
  }
  return list;
}

// The camera bookmarks the plug-in keeps in the document, in their order.
Json bookmarksJson(JobContext& ctx) {
  Json out = Json::array();
  for (const pigmora::CameraBookmark* b : bookmarkList(*ctx.doc)) {
    out.push_back(jsonObject(
        {{"id", b->id},
         {"offset", vec(b->matrix.off)},
         {"axes", Json::array({vec(b->matrix.v1), vec(b->matrix.v2), vec(b->matrix.v3)})},
         {"preview",
          b->preview ? Json::array({b->preview->width(), b->preview->height()}) : Json()}}));
  }
  return out;
}

Json documentJson(JobContext& ctx) {
  Json objects = Json::array();
  for (host::Object* o : ctx.doc->selectedObjects()) objects.push_back(o->name());
  return {
      {"path", ctx.doc->data().getFilename(host::kDocPath)},
      {"mode", ctx.doc->data().getInt32(host::kDocMode)},
      {"active_tool", ctx.doc->data().getInt32(host::kDocActiveTool)},
      {"active_object", ctx.doc->activeObject() ? Json(ctx.doc->activeObject()->name()) : Json()},
      {"active_material",
       ctx.doc->activeMaterial() ? Json(ctx.doc->activeMaterial()->name()) : Json()},
      {"selected_objects", objects},
      {"bookmarks", bookmarksJson(ctx)}};
}

bool wholeRun(const Json& a) {
  if (!a.is_array() || a.size() < 8) return false;
  for (const Json& v : a)
    if (!v.is_number_integer()) return false;
  return true;
}

std::string ranges(const Json& a) {
  std::string out;
  size_t i = 0;
  while (i < a.size()) {
    size_t j = i;
    while (j + 1 < a.size() && a[j + 1].get<int64_t>() == a[j].get<int64_t>() + 1) ++j;
    out += (out.empty() ? "" : ", ") + std::to_string(a[i].get<int64_t>());
    if (j > i) out += "-" + std::to_string(a[j].get<int64_t>());
    i = j + 1;
  }
  return "[" + out + "]";
}

std::string scalar(const Json& v);

// A small object of plain values reads best on one line.
bool flatObject(const Json& v) {
  if (!v.is_object()) return false;
  for (const auto& [key, value] : v.items())
    if (value.is_object() || (value.is_array() && value.dump().size() > 40)) return false;
  std::string line;
  for (const auto& [key, value] : v.items()) line += key + ": " + scalar(value) + ", ";
  return line.size() <= 96;
}

bool flat(const Json& v) {
  if (v.is_object()) return v.empty() || flatObject(v);
  if (!v.is_array()) return true;
  if (wholeRun(v)) return true;
  bool scalars = true;
  for (const Json& e : v) {
    if (e.is_object() || (e.is_array() && !flat(e))) return false;
    scalars = scalars && !e.is_array();
  }
  return scalars || v.dump().size() <= 72;
}

std::string scalar(const Json& v) {
  if (wholeRun(v)) return ranges(v);
  if (v.is_object()) {
    std::string out;
    for (const auto& [key, value] : v.items())
      out += (out.empty() ? "" : ", ") + key + ": " + scalar(value);
    return "{" + out + "}";
  }
  if (v.is_string()) return v.get<std::string>().empty() ? "\"\"" : v.get<std::string>();
  if (v.is_number_float()) return numberText(v.get<double>());
  if (v.is_array()) {
    std::string out;
    for (const Json& e : v) out += (out.empty() ? "" : ", ") + scalar(e);
    return "[" + out + "]";
  }
  return v.dump();
}

}  // namespace

const std::vector<std::string>& reportSections() {
  static const std::vector<std::string> sections = {
      "document", "objects", "materials", "painter",  "tool",  "preferences",
      "world",    "undo",    "events",    "commands", "status"};
  return sections;
}

Json sceneReport(JobContext& ctx, const ReportOptions& options) {
  auto wanted = [&options](const std::string& s) {
    return options.sections.empty() ||
           std::find(options.sections.begin(), options.sections.end(), s) != options.sections.end();
  };
  Json r = Json::object();
  if (wanted("document")) r["document"] = documentJson(ctx);
  if (wanted("objects")) {
    Json objects = Json::array();
    for (host::Object* o : ctx.doc->allObjects())
      if (options.object.empty() || o->name() == options.object)
        objects.push_back(objectJson(ctx, o, options));
    r["objects"] = objects;
  }
  if (wanted("materials")) r["materials"] = materialsJson(ctx);
  if (wanted("painter")) r["painter"] = painterJson(ctx);
  if (wanted("tool")) r["tool"] = toolJson(ctx);
  if (wanted("preferences")) r["preferences"] = preferencesJson(ctx);
  if (wanted("world")) r["world"] = worldJson(ctx);
  if (wanted("undo")) r["undo"] = undoJson(ctx);
  if (wanted("events")) r["events"] = eventsJson(ctx);
  if (wanted("commands")) r["commands"] = commandsJson(ctx);
  if (wanted("status"))
    r["status"] = jsonObject(
        {{"text", ctx.host.events().statusText()}, {"progress", ctx.host.events().statusBar()}});
  return r;
}

std::string reportText(const Json& report, int indent) {
  const std::string pad(static_cast<size_t>(indent), ' ');
  std::string out;
  auto entry = [&](const std::string& head, const Json& v) {
    if (flat(v)) {
      out += pad + head + scalar(v) + "\n";
      return;
    }
    out += pad + head.substr(0, head.size() - (head.empty() ? 0 : 1)) + "\n";
    out += reportText(v, indent + 2);
  };
  if (report.is_object()) {
    for (auto it = report.begin(); it != report.end(); ++it) entry(it.key() + ": ", it.value());
  } else if (report.is_array()) {
    for (const Json& v : report) {
      if (v.is_object() && !v.empty() && !flatObject(v)) {
        // "- name: Ball" on the first line, the rest beneath it.
        std::string sub = reportText(v, indent + 2);
        sub.replace(static_cast<size_t>(indent), 2, "- ");
        out += sub;
      } else {
        entry("- ", v);
      }
    }
  } else {
    out += pad + scalar(report) + "\n";
  }
  return out;
}

}  // namespace pigmora::cli
