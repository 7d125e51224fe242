// Steps that use the plug-in's windows as a user does with the mouse: open a window by its
// command, click, drag and drop on the cells of its areas, choose context-menu and side-menu
// entries, move the zoom slider, answer the name dialog, and render the window as a picture.
// Each step says what changed.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/ui/ui_host.h"

namespace pigmora::cli {

namespace {

// Gadgets of the plug-in's view windows.
constexpr int32_t kSideMenu = 1000;
// The paint tool's switches of its stamp and stencil images.
constexpr int32_t kBrushStampOn = 10601;
constexpr int32_t kBrushStencilOn = 10401;
// The preferences and the folders a user chooses for the content browser.
constexpr int32_t kPreferences = 1037934;
constexpr int32_t kPrefMegascans = 1005, kPrefStamps = 1006, kPrefStencils = 1007;
constexpr int32_t kMaterialView = 1035527;
constexpr int32_t kZoomSlider = 1003;
// The name dialog's field and buttons.
constexpr int32_t kNameField = 1000;

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

hostapp::UiHost& ui(JobContext& ctx) {
  return ctx.host.uiHost();
}

// The window named by "window" (its title, or its plug-in id), else the front-most open one.
hostapp::Window& windowOf(JobContext& ctx, const Json& step) {
  hostapp::UiHost& host = ui(ctx);
  hostapp::Window* w = nullptr;
  if (step.contains("window")) {
    const Json& v = step["window"];
    if (v.is_number_integer())
      w = host.window(wholeOf(v, "\"window\""));
    else if (v.is_string())
      w = host.window(v.get<std::string>());
    else
      throw StepError("\"window\" is a window's title or its plug-in id");
    if (!w || !w->isOpen()) throw StepError("there is no open window " + v.dump());
    return *w;
  }
  const std::vector<hostapp::Window*> all = host.windows();
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    if ((*it)->isOpen()) return **it;
  throw StepError("no window is open; open one with a \"ui_open\" step");
}

// Brings the tab titled `title` to the front, with the tabs it lies in, and answers the first
// user area inside it.
int32_t showTab(hostapp::Window& w, const std::string& title) {
  hostapp::Widget* tab = w.findByText(title);
  if (!tab || !tab->parent || tab->parent->kind != hostapp::WidgetKind::kTabGroup)
    throw StepError("the window " + quoted(w.title()) + " has no tab " + quoted(title));
  std::vector<const hostapp::Widget*> chain;
  for (const hostapp::Widget* x = tab; x && x->parent; x = x->parent)
    if (x->parent->kind == hostapp::WidgetKind::kTabGroup) chain.push_back(x);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if (!w.selectTab((*it)->text))
      throw StepError("the tab " + quoted((*it)->text) + " cannot be chosen");
  w.settle();
  const hostapp::Widget* area = hostapp::findWidget(
      *tab, [](const hostapp::Widget& c) { return c.is(host::GadgetKind::kUserArea); });
  if (!area) throw StepError("the tab " + quoted(title) + " shows no area of cells");
  return area->id;
}

// The user area named by "area", else the one of the tab named by "tab", else the first shown
// one that lists cells (the side menu aside).
int32_t areaOf(hostapp::Window& w, const Json& step) {
  const int32_t ofTab = step.contains("tab") ? showTab(w, stringOf(step, "tab")) : 0;
  if (ofTab && !step.contains("area")) return ofTab;
  if (step.contains("area")) {
    const int32_t id = intOf(step, "area");
    if (!w.area(id)) throw StepError("the window has no user area " + std::to_string(id));
    return id;
  }
  w.settle();
  for (const auto& slot : w.areas()) {
    const int32_t id = slot->widget().id;
    if (id == kSideMenu || !slot->area() || !slot->widget().shown) continue;
    std::vector<host::UiItem> items;
    if (slot->area()->listItems(items)) return id;
  }
  throw StepError("the window shows no area of cells");
}

int32_t qualifiersOf(const Json& step) {
  int32_t q = 0;
  if (!step.contains("keys")) return q;
  const Json& keys = step["keys"];
  if (!keys.is_array()) throw StepError("\"keys\" is a list of \"shift\", \"ctrl\" and \"alt\"");
  for (const Json& k : keys) {
    const std::string name = k.is_string() ? k.get<std::string>() : "";
    if (name == "shift")
      q |= host::kQualShift;
    else if (name == "ctrl")
      q |= host::kQualCtrl;
    else if (name == "alt")
      q |= host::kQualAlt;
    else
      throw StepError("the key " + k.dump() + " is none of \"shift\", \"ctrl\" and \"alt\"");
  }
  return q;
}

// Where a step points: a cell of the area (by "cell", its index or its caption) and "at", a
// pixel inside it (its centre by default); without a cell, "at" in the area's coordinates.
struct Target {
  int32_t area = 0;
  host::UiRect cell{0, 0, -1, -1};
  bool onCell = false;
  int32_t x = 0, y = 0;
  std::string what;
};

Target targetOf(hostapp::Window& w, const Json& step, bool needCell) {
  Target t;
  t.area = areaOf(w, step);
  const std::vector<host::UiItem> items = w.items(t.area);
  if (step.contains("cell")) {
    const Json& c = step["cell"];
    size_t index = items.size();
    if (c.is_number_integer() && c.get<int64_t>() >= 0) {
      index = static_cast<size_t>(c.get<int64_t>());
    } else if (c.is_string()) {
      for (size_t i = 0; i < items.size() && index == items.size(); ++i)
        if (items[i].label == c.get<std::string>()) index = i;
    } else {
      throw StepError("\"cell\" is a cell's index from 0 or its caption");
    }
    if (index >= items.size())
      throw StepError("the area has no cell " + c.dump() + " (it shows " +
                      std::to_string(items.size()) + (items.size() == 1 ? " cell)" : " cells)"));
    t.cell = items[index].rect;
    t.onCell = true;
    t.what = "cell " + std::to_string(index) +
             (items[index].label.empty() ? "" : " " + quoted(items[index].label));
    t.x = (t.cell.x1 + t.cell.x2) / 2;
    t.y = (t.cell.y1 + t.cell.y2) / 2;
    if (step.contains("at")) {
      const host::Vector at = vectorOf(step["at"], "\"at\"");
      t.x = t.cell.x1 + static_cast<int32_t>(at.x);
      t.y = t.cell.y1 + static_cast<int32_t>(at.y);
    }
  } else {
    if (needCell) throw StepError("name the cell with \"cell\"");
    const host::Vector at = vectorOf(require(step, "at"), "\"at\"");
    t.x = static_cast<int32_t>(at.x);
    t.y = static_cast<int32_t>(at.y);
    t.what = "(" + std::to_string(t.x) + ", " + std::to_string(t.y) + ")";
  }
  host::GeUserArea* a = w.area(t.area);
  if (t.x < 0 || t.y < 0 || t.x >= a->width() || t.y >= a->height())
    throw StepError("the point " + std::to_string(t.x) + ", " + std::to_string(t.y) +
                    " lies outside the area of " + std::to_string(a->width()) + " x " +
                    std::to_string(a->height()) + " pixels");
  // A user scrolls to what they point at.
  w.reveal(t.area, t.onCell ? t.cell : host::UiRect{t.x, t.y, t.x, t.y});
  return t;
}

// What a user sees change: the window's texts, the cells, the scene's selections and what is
// being painted.
struct Snapshot {
  std::vector<std::pair<int32_t, std::string>> texts;
  std::vector<host::UiItem> cells;
  std::string object, material, tag, layer, hidden;
  int32_t polygons = 0, points = 0, edges = 0;
  size_t undo = 0, windows = 0, materials = 0, shown = 0;
  std::string stamp, stencil;
  double zoom = 0.0;
};

std::string fileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

Snapshot snapshot(JobContext& ctx, hostapp::Window* w) {
  Snapshot s;
  host::Document* doc = ctx.doc;
  if (host::Object* o = doc->activeObject()) {
    s.object = o->name();
    if (o->type() == host::kTypePolygonObject) {
      auto* p = static_cast<host::PolygonObject*>(o);
      s.polygons = p->polygonSelection().count();
      s.points = p->pointSelection().count();
      s.edges = p->edgeSelection().count();
    }
  }
  if (host::Material* m = doc->activeMaterial()) s.material = m->name();
  if (host::Tag* t = doc->activeTag()) {
    s.tag = t->name();
    if (s.tag.empty() && t->type() == host::kTypeTextureTag) {
      host::Material* m = static_cast<host::TextureTag*>(t)->material();
      s.tag = "texture tag of " + (m ? m->name() : std::string("no material"));
    }
  }
  // Layers hidden in the active object's textures, by name.
  if (host::Object* o = doc->activeObject()) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < o->tagCount(); ++i) {
      if (o->tagAt(i)->type() != host::kTypeTextureTag) continue;
      host::Material* m = static_cast<host::TextureTag*>(o->tagAt(i))->material();
      for (int32_t c = 0; m && c < 14; ++c) {
        host::PaintTexture* tex = ctx.host.paintImpl().textureOf(m, c, doc);
        for (host::PaintBitmap* l = tex ? tex->firstLayer() : nullptr; l; l = l->next())
          if (!l->visible() && std::find(names.begin(), names.end(), l->name()) == names.end())
            names.push_back(l->name());
      }
    }
    for (const std::string& n : names) s.hidden += (s.hidden.empty() ? "" : ", ") + n;
  }
  if (host::PaintTexture* tex = ctx.host.paintImpl().painter().selectedTexture()) {
    host::PaintBitmap* l = tex->activeLayer();
    s.layer = std::filesystem::path(tex->filePath()).filename().string() + " / " +
              (l ? l->name() : "no layer");
  }
  s.undo = ctx.doc->undoList().undoCount();
  for (host::Material* m = doc->firstMaterial(); m; m = m->next()) ++s.materials;
  s.shown = ui(ctx).shownFiles().size();
  // The brush's stamp and stencil, as the active tool holds them.
  if (const host::Settings* tool =
          ctx.host.sculpt().toolSettings(doc, doc->data().getInt32(host::kDocActiveTool))) {
    if (tool->getBool(kBrushStampOn)) s.stamp = fileName(tool->getFilename(host::kBrushStamp));
    if (tool->getBool(kBrushStencilOn))
      s.stencil = fileName(tool->getFilename(host::kBrushStencil));
  }
  for (hostapp::Window* win : ui(ctx).windows()) s.windows += win->isOpen() ? 1 : 0;
  if (w && ui(ctx).contains(w) && w->isOpen()) {
    for (const hostapp::Widget* t : w->gadgets(host::GadgetKind::kStaticText))
      s.texts.emplace_back(t->id, t->value.toString());
    for (const auto& slot : w->areas()) {
      const int32_t id = slot->widget().id;
      if (id != kSideMenu && slot->area() && slot->widget().shown) {
        s.cells = w->items(id);
        break;
      }
    }
    if (const hostapp::Widget* z = w->find(kZoomSlider)) s.zoom = z->value.toReal();
  }
  return s;
}

std::string changes(const Snapshot& a, const Snapshot& b) {
  std::vector<std::string> out;
  auto was = [&](const std::string& what, const std::string& from, const std::string& to) {
    if (from != to)
      out.push_back(what + " " + (to.empty() ? "none" : quoted(to)) + " (was " +
                    (from.empty() ? "none" : quoted(from)) + ")");
  };
  // "polygons selected" reads "1 polygon selected" for one.
  auto count = [&](const std::string& what, int64_t from, int64_t to) {
    if (from == to) return;
    std::string w = what;
    const size_t space = w.find(' ');
    if (to == 1 && w[space == std::string::npos ? w.size() - 1 : space - 1] == 's')
      w.erase(space == std::string::npos ? w.size() - 1 : space - 1, 1);
    out.push_back(std::to_string(to) + " " + w + " (was " + std::to_string(from) + ")");
  };
  for (const auto& [id, text] : b.texts) {
    auto it = std::find_if(a.texts.begin(), a.texts.end(),
                           [&, id = id](const auto& p) { return p.first == id; });
    if (it != a.texts.end() && it->second != text) out.push_back(quoted(text));
  }
  was("active object", a.object, b.object);
  was("active material", a.material, b.material);
  was("active tag", a.tag, b.tag);
  was("painting", a.layer, b.layer);
  was("hidden layers", a.hidden, b.hidden);
  count("polygons selected", a.polygons, b.polygons);
  count("points selected", a.points, b.points);
  count("edges selected", a.edges, b.edges);
  auto selectedCells = [](const Snapshot& s) {
    std::string list;
    for (size_t i = 0; i < s.cells.size(); ++i)
      if (s.cells[i].selected) list += (list.empty() ? "" : ", ") + std::to_string(i);
    return list;
  };
  if (a.cells.size() != b.cells.size()) {
    count("cells", static_cast<int64_t>(a.cells.size()), static_cast<int64_t>(b.cells.size()));
  } else {
    for (size_t i = 0; i < b.cells.size(); ++i)
      if (a.cells[i].label != b.cells[i].label)
        out.push_back("cell " + std::to_string(i) + " " + quoted(b.cells[i].label));
    if (a.cells.size() == b.cells.size() && a.cells.size() > 0 &&
        a.cells[0].rect.width() != b.cells[0].rect.width())
      out.push_back("cells of " + std::to_string(b.cells[0].rect.width() - 1) + " pixels");
  }
  was("cells selected", selectedCells(a), selectedCells(b));
  count("undo steps", static_cast<int64_t>(a.undo), static_cast<int64_t>(b.undo));
  count("materials", static_cast<int64_t>(a.materials), static_cast<int64_t>(b.materials));
  was("stamp", a.stamp, b.stamp);
  was("stencil", a.stencil, b.stencil);
  count("open windows", static_cast<int64_t>(a.windows), static_cast<int64_t>(b.windows));
  if (out.empty()) return "nothing changed";
  std::string text;
  for (const std::string& line : out) text += "\n    " + line;
  return text;
}

// Runs what the user does, then lets the host deliver what it caused.
template <class Fn>
std::string asUser(JobContext& ctx, hostapp::Window* w, const std::string& head, Fn&& act) {
  const Snapshot before = snapshot(ctx, w);
  act();
  ui(ctx).settle();
  const std::string what = changes(before, snapshot(ctx, w));
  return head + (what.front() == '\n' ? what : ": " + what);
}

// The host's sentence about a scripted answer that matched nothing, if one came up.
void checkScript(JobContext& ctx, size_t errorsBefore) {
  const auto& errors = ui(ctx).scriptErrors();
  ui(ctx).dropQueuedAnswers();
  if (errors.size() > errorsBefore) throw StepError(errors.back());
}

std::string openStep(JobContext& ctx, const Json& step) {
  const int32_t id = registeredCommand(ctx, step);
  const size_t statuses = ctx.host.events().statusHistory().size();
  if (!ctx.host.registration().callCommand(id, 0))
    throw StepError("the command " + std::to_string(id) + " did not run");
  ui(ctx).settle();
  hostapp::Window* w = ui(ctx).window(id);
  if (!w || !w->isOpen())
    throw StepError("the command " + std::to_string(id) + " opened no window");
  if (step.contains("tab")) showTab(*w, stringOf(step, "tab"));
  std::string summary =
      quoted(w->title()) + " " + std::to_string(w->width()) + " x " + std::to_string(w->height());
  const Snapshot now = snapshot(ctx, w);
  for (const auto& [gid, text] : now.texts) summary += ", " + quoted(text);
  summary += ", " + std::to_string(now.cells.size()) + (now.cells.size() == 1 ? " cell" : " cells");
  // What the window said in the status bar while it filled itself.
  const auto& history = ctx.host.events().statusHistory();
  std::string said;
  for (size_t i = statuses; i < history.size(); ++i)
    if (!history[i].empty()) said += (said.empty() ? "" : ", ") + quoted(history[i]);
  if (!said.empty()) summary += "; status " + said;
  return summary;
}

std::string clickStep(JobContext& ctx, const Json& step) {
  hostapp::Window& w = windowOf(ctx, step);
  const Target t = targetOf(w, step, false);
  const std::string button = stringOr(step, "button", "left");
  const int32_t channel = button == "left"     ? host::kMouseLeft
                          : button == "right"  ? host::kMouseRight
                          : button == "middle" ? host::kMouseMiddle
                                               : 0;
  if (!channel) throw StepError("\"button\" is \"left\", \"right\" or \"middle\"");
  const int32_t q = qualifiersOf(step);
  const bool twice = boolOr(step, "double", false);
  if (twice && channel != host::kMouseLeft)
    throw StepError("a double click is made with the left button");
  const size_t shown = ui(ctx).shownFiles().size();
  std::string summary =
      asUser(ctx, &w, (twice ? "double click on " : button + " click on ") + t.what, [&] {
        if (twice)
          w.mouseDoubleClick(t.area, t.x, t.y, q);
        else
          w.mouseClick(t.area, t.x, t.y, channel, q);
      });
  // The host's file display would show these; the command line names them.
  const auto& files = ui(ctx).shownFiles();
  for (size_t i = shown; i < files.size(); ++i) summary += "\n    shows the file " + files[i];
  return summary;
}

// Drags a cell of one window onto a cell of another (the material view by default): the press
// on the cell starts the drag, the release on the target drops it.
std::string dragCellStep(JobContext& ctx, const Json& step) {
  hostapp::Window& from = windowOf(ctx, step);
  const Target source = targetOf(from, step, true);
  hostapp::Window* to = nullptr;
  if (step.contains("to_window")) {
    const Json& v = step["to_window"];
    to = v.is_number_integer() ? ui(ctx).window(v.get<int32_t>())
                               : ui(ctx).window(v.get<std::string>());
    if (!to || !to->isOpen()) throw StepError("there is no open window " + v.dump());
  } else {
    to = ui(ctx).window(kMaterialView);
    if (!to || !to->isOpen())
      throw StepError("the material view is not open; open it with a \"ui_open\" step");
  }
  Json target = Json::object();
  for (const char* key : {"to_area", "to_cell", "to_at"})
    if (step.contains(key)) target[std::string(key).substr(3)] = step[key];
  const Target drop = targetOf(*to, target, true);
  int32_t cursor = host::kCursorForbidden;
  std::string summary = asUser(ctx, to, source.what + " dragged onto " + drop.what, [&] {
    from.mouseClick(source.area, source.x, source.y);
    if (ui(ctx).pendingDrag()) cursor = ui(ctx).dropPending(*to, drop.area, drop.x, drop.y);
  });
  if (cursor == host::kCursorForbidden)
    throw StepError(drop.what + " of " + quoted(to->title()) + " does not take " + source.what);
  return summary;
}

// The folders the content browser shows, set as the user sets them in the preferences.
std::string contentFoldersStep(JobContext& ctx, const Json& step) {
  host::Settings* world = ctx.host.settings().world();
  if (!world) throw StepError("the world settings are not available");
  if (!world->getContainer(kPreferences))
    world->setContainer(kPreferences, host::Settings(kPreferences));
  host::Settings& prefs = *world->getContainer(kPreferences);
  struct Folder {
    const char* key;
    const char* what;
    int32_t id;
  };
  const Folder folders[] = {{"stamps", "stamp folder", kPrefStamps},
                            {"stencils", "stencil folder", kPrefStencils},
                            {"megascans", "Megascans library", kPrefMegascans},
                            {"libraries", "content-libraries folder", 0}};
  std::vector<std::string> said;
  for (const Folder& f : folders) {
    if (!step.contains(f.key)) continue;
    std::filesystem::path path = stringOf(step, f.key);
    if (path.is_relative()) path = ctx.jobDir / path;
    path = path.lexically_normal();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
      throw StepError("the " + std::string(f.what) + " " + path.string() + " does not exist");
    if (!std::filesystem::is_directory(path, ec))
      throw StepError("the " + std::string(f.what) + " " + path.string() + " is not a folder");
    if (f.id)
      prefs.setFilename(f.id, path.string());
    else
      world->setFilename(hostapp::kWorldContentLibraries, path.string());
    said.push_back(std::string(f.key) + " " + path.filename().string());
  }
  if (said.empty()) throw StepError("name at least one folder");
  std::string summary;
  for (const std::string& s2 : said) summary += (summary.empty() ? "" : ", ") + s2;
  // An open browser keeps the grids it filled when it opened.
  if (hostapp::Window* w = ui(ctx).window("Pigmora Content View"); w && w->isOpen())
    summary += " (the open content browser shows them once it is opened anew)";
  return summary;
}

std::string menuStep(JobContext& ctx, const Json& step) {
  hostapp::Window& w = windowOf(ctx, step);
  const Target t = targetOf(w, step, false);
  const std::string entry = stringOf(step, "entry");
  const size_t errors = ui(ctx).scriptErrors().size();
  const size_t menus = ui(ctx).menus().size();
  ui(ctx).queueMenuPick(entry);
  const std::string summary = asUser(ctx, &w, quoted(entry) + " on " + t.what,
                                     [&] { w.mouseClick(t.area, t.x, t.y, host::kMouseRight); });
  if (ui(ctx).menus().size() == menus) {
    ui(ctx).dropQueuedAnswers();
    throw StepError("a right click on " + t.what + " opened no context menu");
  }
  checkScript(ctx, errors);
  return summary;
}

std::string dragStep(JobContext& ctx, const Json& step) {
  hostapp::Window& w = windowOf(ctx, step);
  const Target t = targetOf(w, step, true);
  std::vector<std::pair<int32_t, int32_t>> path;
  const bool uv = step.contains("uv");
  const Json& points = uv ? step["uv"] : require(step, "path");
  if (!points.is_array() || points.size() < 2)
    throw StepError(std::string(uv ? "\"uv\"" : "\"path\"") + " must list two points or more");
  const int32_t w0 = t.cell.width() - 1, h0 = t.cell.height() - 1;
  for (const Json& p : points) {
    const host::Vector v = vectorOf(p, "every point of the drag");
    const double x = uv ? v.x * w0 : v.x, y = uv ? v.y * h0 : v.y;
    path.emplace_back(t.cell.x1 + static_cast<int32_t>(std::floor(x)),
                      t.cell.y1 + static_cast<int32_t>(std::floor(y)));
  }
  host::GeUserArea* a = w.area(t.area);
  for (const auto& [x, y] : path)
    if (x < 0 || y < 0 || x >= a->width() || y >= a->height())
      throw StepError("the drag leaves the area at " + std::to_string(x) + ", " +
                      std::to_string(y));
  const int32_t q = qualifiersOf(step);
  return asUser(ctx, &w, "drag across " + t.what + " (" + std::to_string(path.size()) + " points)",
                [&] { w.mouseDrag(t.area, path, host::kMouseLeft, q); });
}

std::string dropStep(JobContext& ctx, const Json& step) {
  hostapp::Window& w = windowOf(ctx, step);
  const Target t = targetOf(w, step, false);
  const std::filesystem::path file = ctx.inputFile(stringOf(step, "file"));
  int32_t cursor = host::kCursorForbidden;
  std::string summary = asUser(ctx, &w, file.filename().string() + " dropped on " + t.what,
                               [&] { cursor = w.dropFile(t.area, t.x, t.y, file.string()); });
  if (cursor == host::kCursorForbidden)
    throw StepError(t.what + " does not take files (the mouse showed the forbidden cursor)");
  return summary;
}

std::string zoomStep(JobContext& ctx, const Json& step) {
  hostapp::Window& w = windowOf(ctx, step);
  const double value = numberOf(step, "value");
  const hostapp::Widget* slider = w.find(kZoomSlider);
  if (!slider || !slider->is(host::GadgetKind::kSlider))
    throw StepError("the window has no zoom slider");
  if (value < slider->min || value > slider->max)
    throw StepError("the zoom goes from " + std::to_string(slider->min) + " to " +
                    std::to_string(slider->max));
  return asUser(ctx, &w, "zoom " + std::to_string(value).substr(0, 5),
                [&] { w.setNumber(kZoomSlider, value); });
}

std::string panelStep(JobContext& ctx, const Json& step) {
  hostapp::Window& w = windowOf(ctx, step);
  const std::string entry = stringOf(step, "entry");
  if (!w.area(kSideMenu)) throw StepError("the window has no side menu");
  const std::vector<host::UiItem> lines = w.items(kSideMenu);
  auto it = std::find_if(lines.begin(), lines.end(),
                         [&](const host::UiItem& l) { return l.label == entry; });
  if (it == lines.end())
    throw StepError("the side menu shows no entry " + quoted(entry) +
                    " (a folded header hides its entries)");
  const bool cancel = boolOr(step, "cancel", false);
  const bool answers = step.contains("name") || cancel;
  if (answers) {
    const std::string name = stringOr(step, "name", "");
    ui(ctx).queueModal([name, cancel](hostapp::Window& modal) {
      if (!cancel) modal.setText(kNameField, name);
      modal.click(cancel ? "Cancel" : "OK");
    });
  }
  const host::UiRect r = it->rect;
  w.reveal(kSideMenu, r);
  const size_t modals = ui(ctx).queuedModals();
  std::string summary = asUser(ctx, &w, quoted(entry), [&] {
    w.mouseClick(kSideMenu, (r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2);
  });
  const bool asked = ui(ctx).queuedModals() < modals;
  ui(ctx).dropQueuedAnswers();
  if (answers && !asked) throw StepError("the entry " + quoted(entry) + " asked for no name");
  return summary;
}

std::string renderWindowStep(JobContext& ctx, const Json& step) {
  hostapp::Window& w = windowOf(ctx, step);
  const std::filesystem::path file =
      ctx.outputFile(stringOr(step, "file", safeFileName(w.title()) + ".png"));
  std::string error;
  if (!w.savePicture(file.string(), error)) {
    if (!error.empty() && error.back() == '.') error.pop_back();
    throw StepError(error);
  }
  return file.filename().string() + " (" + std::to_string(w.width()) + "x" +
         std::to_string(w.height()) + ", " + quoted(w.title()) + ")";
}

}  // namespace

void addUiSteps(StepTable& t) {
  const Field window = opt("window", anyOf({whole(), text()}).described("a window's title or id"),
                           "The window, by its title or its plug-in id (the front-most one).");
  const Field area =
      opt("area", whole(), "The user area by its gadget id (the first one showing cells).");
  const Field cell =
      opt("cell", anyOf({whole().from(0), text()}).described("an index or a caption"),
          "A cell by its index from 0 or its caption.");
  const Rule pixel = listOf(number(), 2, 2).described("[x, y]");
  const Field at = opt(
      "at", pixel, "A pixel [x, y] inside the cell (its centre), or of the area without a cell.");
  const Field keys = opt("keys", listOf(word({"shift", "ctrl", "alt"})), "Modifier keys held.");
  const Field tab =
      opt("tab", text(), "A tab by its title, brought to the front; its area is the one meant.");
  t.add("ui_open", "Runs the command that opens a window and shows what the window holds.",
        object({opt("id", whole(), "The command's plug-in id."),
                opt("name", text(), "The command's name."),
                opt("tab", text(), "A tab of the window to bring to the front.")})
            .oneOf({"id", "name"}),
        openStep);
  t.add("ui_click", "Clicks on a cell of a window, or on a point of its area.",
        object({window, tab, area, cell, at,
                opt("button", word({"left", "right", "middle"}), "The mouse button (left)."), keys,
                opt("double", flag(), "A double click (with the left button).")}),
        clickStep);
  t.add("ui_menu", "Right-clicks on a cell or a point and picks an entry of the context menu.",
        object({window, tab, area, cell, at,
                req("entry", text(), "The entry's text; a submenu's entry as \"Submenu/Entry\".")}),
        menuStep);
  t.add("ui_drag", "Drags with the left button held through points of a cell.",
        object({window, tab, area, req("cell", cell.rule, cell.help),
                opt("uv",
                    listOf(listOf(number().between(0, 1), 2, 2), 2)
                        .described("a list of two or more [u, v] points from 0 to 1"),
                    "The points as fractions [u, v] of the cell, 0 .. 1."),
                opt("path", listOf(pixel, 2).described("a list of two or more [x, y] points"),
                    "The points as pixels [x, y] of the cell."),
                keys})
            .oneOf({"uv", "path"}),
        dragStep);
  t.add("ui_drop", "Drops a file on a cell or a point, as from a file browser.",
        object({window, tab, area, cell, at,
                req("file", text(), "The file dropped, relative to the job's folder.")}),
        dropStep);
  t.add("ui_zoom", "Moves the window's zoom slider.",
        object({window, req("value", number().between(0.1, 1.0),
                            "The zoom, 0.1 .. 1; cells are value x 512 pixels.")}),
        zoomStep);
  t.add("ui_panel", "Clicks an entry of the window's side menu by its text.",
        object({window, req("entry", text(), "The entry's text."),
                opt("name", text(), "What the user types into the name dialog it opens, then OK."),
                opt("cancel", flag(), "Press Cancel in the name dialog it opens.")})
            .excluding("name", "cancel"),
        panelStep);
  t.add("ui_drag_cell",
        "Drags a cell of a window (a content browser image) onto a cell of another window.",
        object({window, tab, area, req("cell", cell.rule, cell.help), at,
                opt("to_window", anyOf({whole(), text()}).described("a window's title or id"),
                    "The window dropped on (the material view)."),
                opt("to_area", whole(), "Its user area by gadget id (the first showing cells)."),
                req("to_cell", cell.rule, "The cell dropped on, by its index from 0 or caption."),
                opt("to_at", pixel, "A pixel [x, y] inside that cell (its centre).")}),
        dragCellStep);
  t.add("content_folders", "Chooses the folders the content browser shows, as the preferences do.",
        object({opt("stamps", text(), "The stamp folder (preference 1006), relative to the job."),
                opt("stencils", text(), "The stencil folder (preference 1007)."),
                opt("megascans", text(), "The Megascans library folder (preference 1005)."),
                opt("libraries", text(),
                    "The content-libraries folder: one folder per library, \"Prime.lib4d\" ...")}),
        contentFoldersStep);
  t.add(
      "render_window", "Writes a window, title bar included, as a PNG picture.",
      object({window, opt("file", text(), "The PNG, in the output folder (the window's title).")}),
      renderWindowStep);
}

}  // namespace pigmora::cli
