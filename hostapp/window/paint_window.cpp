#include "hostapp/window/paint_window.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/sculpt/spatial_grid.h"
#include "hostapp/ui/ui_host.h"
#include "hostapp/ui/widget.h"
#include "hostapp/window/attribute_models.h"
#include "hostapp/window/gl_overlay.h"
#include "hostapp/window/gl_scene.h"
#include "hostapp/window/window_theme.h"

namespace hostapp {

namespace {

constexpr int32_t kBarHeight = 24;  // the menu bar at the top, the status bar at the bottom
constexpr int32_t kPanelMin = 300, kPanelMax = 620;  // the column of docked dialogs on the right
constexpr int32_t kMenuLine = 22;
constexpr Rgba kBarColor = theme::kBar;
constexpr Rgba kBarText = theme::kText;
using theme::kAccent;

double nowMs() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

int32_t buttonOf(uint8_t sdlButton) {
  return sdlButton == SDL_BUTTON_RIGHT    ? host::kMouseRight
         : sdlButton == SDL_BUTTON_MIDDLE ? host::kMouseMiddle
                                          : host::kMouseLeft;
}

// The key's name as scripts write it: lower-case letters and digits, "escape", "home", "f1" ...
std::string keyName(SDL_Keycode k) {
  std::string name = SDL_GetKeyName(k);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

int32_t qualifiersOf(const InputRecord& e) {
  return (e.shift ? host::kQualShift : 0) | (e.ctrl ? host::kQualCtrl : 0) |
         (e.alt ? host::kQualAlt : 0);
}

}  // namespace

PaintWindow::PaintWindow(EmbeddedHost& host, DocumentImpl& doc, PaintWindowOptions options)
    : host_(host), doc_(doc), options_(std::move(options)) {}

PaintWindow::~PaintWindow() {
  host_.uiHost().setLiveMenu(nullptr);
  host_.uiHost().setLiveMouse(nullptr);
  if (context_) {
    // The GL objects go while their context is still current.
    panels_.clear();
    attributeGpu_ = {};
    menuBarGpu_ = {};
    statusBarGpu_ = {};
    popupGpu_.clear();
    scene_.reset();
    overlay_.reset();
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  }
  if (window_) SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool PaintWindow::open(std::string& error) {
  if (options_.width < 1 || options_.height < 1) {
    error = "The paint window needs a size of at least 1 x 1 pixels.";
    return false;
  }
  if (!options_.script.empty()) {
    std::vector<InputRecord> events;
    if (!readInputScript(options_.script, events, error)) return false;
    script_.assign(events.begin(), events.end());
    scripted_ = true;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("No display could be opened for the paint window (") + SDL_GetError() +
            "); run it on a desktop, or under xvfb-run.";
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE |
                       (options_.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
  window_ = SDL_CreateWindow("Pigmora", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             options_.width, options_.height, flags);
  if (!window_) {
    error = std::string("The paint window could not be opened: ") + SDL_GetError() + ".";
    return false;
  }
  context_ = SDL_GL_CreateContext(window_);
  if (!context_ || epoxy_gl_version() < 33) {
    error = "The display offers no OpenGL 3.3 core profile, which the paint window needs" +
            std::string(context_ ? "" : std::string(" (") + SDL_GetError() + ")") + ".";
    return false;
  }
  SDL_GL_SetSwapInterval(scripted_ ? 0 : 1);
  SDL_StartTextInput();
  scene_ = std::make_unique<GlScene>(host_, doc_);
  overlay_ = std::make_unique<GlOverlay>();
  std::string why;
  if (!scene_->init(why) || !overlay_->init(why)) {
    error = "The paint window cannot draw: " + why + ".";
    return false;
  }
  SDL_GL_GetDrawableSize(window_, &width_, &height_);
  for (const RegisteredPlugin& p : host_.registration().plugins())
    if (p.kind == PluginKind::kCommand && p.command) commands_.emplace_back(p.id, p.name);
  toolModel_ = std::make_unique<ToolAttributes>(host_, doc_);
  prefsModel_ = std::make_unique<PreferenceAttributes>(host_);
  attributes_.setTabs({"Tool", "Preferences"});
  // A narrow window leaves its width to the view; Tab shows the panel all the same.
  showAttributes_ = width_ >= 3 * AttributePanel::kWidth;
  // The dialogs' popup menus are drawn here and answered with the mouse.
  host_.uiHost().setLiveMenu(
      [this](const host::PopupMenu& menu) { return pickMenu(menu.entries(), mouseX_, mouseY_); });

  // The view shows what the document's view shows; the editor camera is framed for this
  // window's shape when no one has placed it yet.
  const host::UiRect vp = viewport();
  const double aspect = static_cast<double>(std::max(vp.width(), 1)) / std::max(vp.height(), 1);
  ViewImpl& view = *doc_.activeView();
  if (view.sceneCamera() || view.editor().placed()) {
    const host::CameraObject& cam = viewCamera();
    camera_.matrix = cam.globalMatrix();
    camera_.halfFov = cam.aperture() * 0.5 / std::max(cam.focalLength(), 1e-6);
    host::Vector lo, hi;
    camera_.distance = sceneBounds(doc_, lo, hi)
                           ? std::max(host::dot((lo + hi) * 0.5 - camera_.matrix.off,
                                                host::normalize(camera_.matrix.v3)),
                                      1.0)
                           : 400.0;
  } else {
    placeCamera(frameAll(doc_, aspect));
  }
  savedStamp_ = documentStamp();
  start_ = SDL_GetTicks64();
  return true;
}

host::UiRect PaintWindow::viewport() const {
  const int32_t left = attributeWidth();
  const int32_t right = panels_.empty() ? width_ - 1 : width_ - panelWidth_ - 1;
  return {left, kBarHeight, std::max(right, left), std::max(height_ - kBarHeight - 1, kBarHeight)};
}

host::CameraObject& PaintWindow::viewCamera() {
  ViewImpl& view = *doc_.activeView();
  if (host::CameraObject* cam = view.sceneCamera()) return *cam;
  return view.editor();
}

void PaintWindow::placeCamera(const ViewCamera& camera) {
  camera_ = camera;
  viewCamera().setGlobalMatrix(camera.matrix);
}

uint64_t PaintWindow::documentStamp() const {
  // Painting, undo and redo all move the undo list or a texture's change count.
  uint64_t stamp = doc_.undoList().undoCount() * 1000003 + doc_.undoList().redoCount();
  for (host::Material* m = doc_.firstMaterial(); m; m = m->next())
    for (int32_t c = 0; c < 14; ++c)
      if (host::PaintTexture* t = host_.paintImpl().textureOf(m, c, &doc_))
        stamp = stamp * 31 + t->changeCount();
  return stamp;
}

bool PaintWindow::modified() const {
  return documentStamp() != savedStamp_;
}

void PaintWindow::status(const std::string& text) {
  message_ = text;
}

bool PaintWindow::nextEvent(InputRecord& e, bool wait) {
  if (!deferred_.empty()) {
    e = deferred_.front();
    deferred_.pop_front();
    return true;
  }
  SDL_Event ev;
  while (scripted_ ? SDL_PollEvent(&ev)
                   : (wait ? SDL_WaitEventTimeout(&ev, 50) : SDL_PollEvent(&ev))) {
    wait = false;
    InputRecord r;
    // When the window system took the event, not when it was read here.
    r.t = static_cast<int64_t>(ev.common.timestamp) - static_cast<int64_t>(start_);
    const SDL_Keymod mod = SDL_GetModState();
    r.ctrl = (mod & KMOD_CTRL) != 0;
    r.shift = (mod & KMOD_SHIFT) != 0;
    r.alt = (mod & KMOD_ALT) != 0;
    switch (ev.type) {
      case SDL_QUIT:
        r.type = InputRecord::Type::kQuit;
        break;
      case SDL_WINDOWEVENT:
        if (ev.window.event != SDL_WINDOWEVENT_SIZE_CHANGED) continue;
        r.type = InputRecord::Type::kResize;
        SDL_GL_GetDrawableSize(window_, &r.x, &r.y);
        break;
      case SDL_MOUSEMOTION:
        r.type = InputRecord::Type::kMove;
        r.x = ev.motion.x;
        r.y = ev.motion.y;
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        r.type = ev.type == SDL_MOUSEBUTTONDOWN ? InputRecord::Type::kDown : InputRecord::Type::kUp;
        r.x = ev.button.x;
        r.y = ev.button.y;
        r.button = buttonOf(ev.button.button);
        r.clicks = ev.button.clicks;
        break;
      case SDL_MOUSEWHEEL:
        r.type = InputRecord::Type::kWheel;
        SDL_GetMouseState(&r.x, &r.y);
        r.wheel = ev.wheel.y;
        break;
      case SDL_KEYDOWN:
        r.type = InputRecord::Type::kKey;
        r.key = keyName(ev.key.keysym.sym);
        if (r.key.empty()) continue;
        // While a field is typed, its characters come as text, in any script the keyboard has.
        if (SDL_IsTextInputActive() && typesIn(r)) continue;
        break;
      case SDL_TEXTINPUT:
        r.type = InputRecord::Type::kText;
        r.text = ev.text.text;
        if (r.text.empty()) continue;
        break;
      default:
        continue;
    }
    // While a script plays, the window takes no other input than the window system's own.
    if (scripted_ && r.type != InputRecord::Type::kResize) continue;
    if (!options_.record.empty()) recorded_.push_back(r);
    e = r;
    return true;
  }
  if (scripted_ && !script_.empty()) {
    e = script_.front();
    script_.pop_front();
    return true;
  }
  return false;
}

void PaintWindow::handle(const InputRecord& e) {
  using Type = InputRecord::Type;
  switch (e.type) {
    case Type::kQuit:
      requestClose(e);
      return;
    case Type::kResize:
      if (!scripted_ || e.x != width_ || e.y != height_) {
        if (scripted_) SDL_SetWindowSize(window_, std::max(e.x, 1), std::max(e.y, 1));
        width_ = std::max(e.x, 0);
        height_ = std::max(e.y, 0);
      }
      return;
    case Type::kKey:
      if (!editKey(e)) key(e);
      return;
    case Type::kText:
      editText(e);
      return;
    case Type::kWheel: {
      if (e.x < attributeWidth() && e.y >= kBarHeight) {
        wheelInAttributes(e);
      } else if (viewport().contains(e.x, e.y)) {
        camera_.zoom(e.wheel);
        placeCamera(camera_);
      }
      return;
    }
    case Type::kDown: {
      lastX_ = mouseX_ = e.x;
      lastY_ = mouseY_ = e.y;
      if (attributes_.editRow() >= 0 &&
          !(e.x < attributeWidth() && e.y >= kBarHeight && e.y < height_ - kBarHeight))
        commitEdit();
      if (menuClick(e)) return;
      if (e.x < attributeWidth() && e.y < height_ - kBarHeight) {
        mouseInAttributes(e);
        return;
      }
      if (Panel* panel = panelAt(e.x, e.y)) {
        mouseInPanel(e, *panel);
        return;
      }
      if (!viewport().contains(e.x, e.y)) return;
      if (e.button == host::kMouseLeft && !e.alt) {
        paintStroke(e);
        return;
      }
      // Middle (or Alt with left) orbits, right pans.
      navigating_ = e.button == host::kMouseRight ? host::kMouseRight : host::kMouseMiddle;
      return;
    }
    case Type::kMove:
      if (navigating_) {
        const double dx = e.x - lastX_, dy = e.y - lastY_;
        if (navigating_ == host::kMouseRight)
          camera_.pan(dx, dy, viewport().width());
        else
          camera_.orbit(dx, dy);
        placeCamera(camera_);
      }
      lastX_ = mouseX_ = e.x;
      lastY_ = mouseY_ = e.y;
      return;
    case Type::kUp:
      navigating_ = 0;
      return;
  }
}

void PaintWindow::paintStroke(const InputRecord& press) {
  host::PolygonObject* target = nullptr;
  const host::UiRect vp = viewport();
  host::CameraObject& cam = viewCamera();
  const double w = vp.width(), h = vp.height();
  const double sx = press.x - vp.x1, sy = press.y - vp.y1;
  // The object under the mouse becomes the active one, and its material's colour texture the
  // one painted when the painter was on a texture the object does not show.
  {
    const host::Matrix m = cam.globalMatrix();
    const double halfFov = cam.aperture() * 0.5 / std::max(cam.focalLength(), 1e-6);
    const host::Vector dir = m.transformDirection(
        {(sx - w / 2) / (w / 2) * halfFov, -(sy - h / 2) / (w / 2) * halfFov, 1.0});
    double nearest = 1e300;
    int32_t polygon = -1;
    for (host::Object* o : doc_.allObjects()) {
      if (o->type() != host::kTypePolygonObject) continue;
      auto* obj = static_cast<host::PolygonObject*>(o);
      SpatialGrid grid;
      grid.build(*obj);
      const host::Matrix g = obj->globalMatrix();
      const host::Vector origin = m.off, along = dir;
      // The grid works in object space.
      const host::Matrix inv = affineInverse(g);
      SurfaceHit hit;
      if (!grid.raycast(inv * origin, inv.transformDirection(along), hit)) continue;
      const double d = host::length(g * hit.point - origin);
      if (d < nearest) {
        nearest = d;
        target = obj;
        polygon = hit.polygon;
      }
    }
    if (!target) return;  // a press beside every object paints nothing
    doc_.setActiveObject(target);
    std::vector<host::Material*> materials, used;
    for (host::Material* mat = doc_.firstMaterial(); mat; mat = mat->next())
      materials.push_back(mat);
    const std::vector<int32_t> surface = polygonSurfaces(*target, materials, used);
    const int32_t s = polygon >= 0 && polygon < static_cast<int32_t>(surface.size())
                          ? surface[static_cast<size_t>(polygon)]
                          : -1;
    if (s >= 0) {
      host::Material* mat = used[static_cast<size_t>(s)];
      host::PainterState& painter = host_.paintImpl().painter();
      bool shown = false;
      for (int32_t c = 0; c < 14; ++c)
        shown = shown || (painter.selectedTexture() &&
                          host_.paintImpl().textureOf(mat, c, &doc_) == painter.selectedTexture());
      if (!shown)
        if (host::PaintTexture* tex = host_.paintImpl().textureOf(mat, 0, &doc_))
          painter.setSelectedTexture(tex);
    }
  }
  const int32_t toolId = doc_.data().getInt32(host::kDocActiveTool);
  if (!toolId) {
    status("No paint tool is active: pick one in the Plug-ins menu.");
    return;
  }

  StrokeInput input;
  input.space = StrokeInput::Space::kScreen;
  input.camera = &cam;
  input.viewWidth = vp.width();
  input.viewHeight = vp.height();
  input.path.push_back({sx, sy, 0});
  if (press.shift) input.dabFlags |= host::kDabFlagSecondary;
  if (press.ctrl) input.dabFlags |= host::kDabFlagBlur;
  int64_t dabs = 0;
  input.progress = [&](int32_t, int32_t) {
    ++dabs;
    if (firstDab_ < 0) firstDab_ = nowMs();
  };
  bool ended = false;
  input.more = [&](std::vector<host::Vector>& more) {
    if (ended) return false;
    // The dabs so far go to the screen before the mouse is asked again, so that the stroke
    // is never more than a frame of dabs behind it; the panels show what the stroke changed.
    status("Painting on " + target->name() + ": " + std::to_string(dabs) +
           (dabs == 1 ? " dab" : " dabs"));
    layoutPanels();
    frame();
    InputRecord e;
    for (;;) {
      // Waits for the mouse only while there is nothing to paint: the moves that came while
      // the last dabs were painted and shown are taken in one go.
      if (!nextEvent(e, more.empty())) {
        if (scripted_) {
          ended = true;  // a script that ends mid-stroke lets go of the button
          return false;
        }
        if (!more.empty()) return true;
        continue;
      }
      if (e.type == InputRecord::Type::kMove) {
        more.push_back({static_cast<double>(e.x - vp.x1), static_cast<double>(e.y - vp.y1), 0});
        if (!scripted_ && pendingMove_ < 0) pendingMove_ = e.t;
        // A person's moves come a frame apart, as a replay's do; every move already waiting
        // is painted in one go.
        if (scripted_) return true;
        continue;
      }
      if (e.type == InputRecord::Type::kUp && e.button == host::kMouseLeft) {
        more.push_back({static_cast<double>(e.x - vp.x1), static_cast<double>(e.y - vp.y1), 0});
        ended = true;
        return false;
      }
      // Anything else waits for the end of the stroke; a close ends it first.
      deferred_.push_back(e);
      if (e.type == InputRecord::Type::kQuit) {
        ended = true;
        return false;
      }
      if (!more.empty()) return true;
    }
  };
  if (!host_.sculptImpl().runStroke(&doc_, input)) {
    status("The active tool could not paint on " + target->name() + ".");
    return;
  }
  timing_.dabs += dabs;
  status(std::to_string(dabs) + (dabs == 1 ? " dab" : " dabs") + " on " + target->name());
  host_.uiHost().settle();
}

PaintWindow::Panel* PaintWindow::panelAt(int32_t x, int32_t y) {
  for (Panel& p : panels_)
    if (x >= p.x && y >= p.y && x < p.x + p.picture.width() && y < p.y + p.picture.height())
      return &p;
  return nullptr;
}

void PaintWindow::mouseInPanel(const InputRecord& press, Panel& panel) {
  Window& win = *panel.window;
  // Window pixels to the dialog's own coordinates, below its title bar.
  const int32_t title = win.contentScreenY() - win.y();
  auto local = [&](int32_t x, int32_t y) {
    return std::pair<int32_t, int32_t>(x - panel.x, y - panel.y - title);
  };
  const auto [cx, cy] = local(press.x, press.y);
  if (cy < 0) {
    // The title bar: a press on its right end closes the panel.
    if (press.x >= panel.x + panel.picture.width() - title) win.closeByUser();
    return;
  }
  // The user area under the mouse takes the press; while its drag loop polls, it sees the
  // mouse move live until the button comes up.
  for (const auto& slot : win.areas()) {
    const Widget& w = slot->widget();
    if (!w.shown || !w.rect.contains(cx, cy) || !slot->area()) continue;
    const int32_t id = w.id;
    const int32_t ox = panel.x + w.rect.x1, oy = panel.y + title + w.rect.y1;
    bool released = false;
    int32_t endX = press.x, endY = press.y;
    host_.uiHost().setLiveMouse([&](host::MouseState& state) {
      state.qualifiers = qualifiersOf(press);
      if (released) {
        state.held = false;
        return;
      }
      // What the area drew for the last move shows before the next one is awaited.
      layoutPanels();
      frame();
      InputRecord e;
      for (;;) {
        if (!nextEvent(e, true)) {
          if (!scripted_) continue;
          released = true;  // a script that ends mid-drag lets go of the button
        } else if (e.type == InputRecord::Type::kMove || e.type == InputRecord::Type::kUp) {
          endX = mouseX_ = e.x;
          endY = mouseY_ = e.y;
          state.x = e.x - ox;
          state.y = e.y - oy;
          released = e.type == InputRecord::Type::kUp;
        } else {
          deferred_.push_back(e);
          if (e.type != InputRecord::Type::kQuit) continue;
          released = true;
        }
        state.held = !released;
        return;
      }
    });
    win.mousePress(id, cx - w.rect.x1, cy - w.rect.y1, press.button, qualifiersOf(press),
                   press.clicks >= 2);
    host_.uiHost().setLiveMouse(nullptr);
    // A drag the area started ends where the button comes up: on a user area, which gets the
    // drop, or nowhere.
    if (host_.uiHost().pendingDrag()) {
      if (!released)
        follow([&](int32_t x, int32_t y) {
          endX = x;
          endY = y;
        });
      Panel* target = panelAt(endX, endY);
      if (target) {
        Window& tw = *target->window;
        const int32_t tt = tw.contentScreenY() - tw.y();
        const int32_t tx = endX - target->x, ty = endY - target->y - tt;
        for (const auto& ts : tw.areas()) {
          const Widget& tgt = ts->widget();
          if (tgt.shown && tgt.rect.contains(tx, ty)) {
            host_.uiHost().dropPending(tw, tgt.id, tx - tgt.rect.x1, ty - tgt.rect.y1);
            break;
          }
        }
      }
    }
    host_.uiHost().settle();
    scene_->invalidateMeshes();
    return;
  }
  // Buttons and check boxes of the dialog.
  for (const auto& scope : win.scopes()) {
    Widget* hit = findWidget(scope->root(), [&](Widget& w) {
      return w.kind == WidgetKind::kGadget && w.shown && w.enabled && w.rect.contains(cx, cy) &&
             (w.gadget == host::GadgetKind::kButton || w.gadget == host::GadgetKind::kCheckBox);
    });
    if (!hit) continue;
    if (hit->gadget == host::GadgetKind::kCheckBox)
      win.setChecked(hit->id, !hit->value.toBool());
    else
      win.click(hit->id);
    host_.uiHost().settle();
    return;
  }
}

bool PaintWindow::menuClick(const InputRecord& e) {
  if (e.y >= kBarHeight) return false;
  if (e.x >= 90) return true;
  std::vector<host::PopupMenu::Entry> entries;
  for (const auto& [id, name] : commands_) entries.push_back({id, name, {}});
  menuOpen_ = true;
  const int32_t id = pickMenu(entries, 0, kBarHeight);
  menuOpen_ = false;
  if (id == host::kMenuDismissed) return true;
  const RegisteredPlugin* p = host_.registration().find(id);
  if (p && p->command && (p->command->getState(&doc_) & host::CommandData::kStateEnabled) != 0) {
    host_.registration().callCommand(id, 0);
    status("Ran " + p->name + ".");
  } else {
    status((p ? p->name : std::string("The command")) + " is not available now.");
  }
  host_.uiHost().settle();
  scene_->invalidateMeshes();
  return true;
}

void PaintWindow::key(const InputRecord& e) {
  const std::string& k = e.key;
  if (e.ctrl && k == "z" && !e.shift) {
    status(doc_.undo() ? "Undone." : "Nothing to undo.");
    scene_->invalidateMeshes();
  } else if ((e.ctrl && k == "z" && e.shift) || (e.ctrl && k == "y")) {
    status(doc_.redo() ? "Redone." : "Nothing to redo.");
    scene_->invalidateMeshes();
  } else if (e.ctrl && k == "s") {
    save();
  } else if (k == "f" || k == "home") {
    const host::UiRect vp = viewport();
    placeCamera(frameAll(doc_, static_cast<double>(vp.width()) / std::max(vp.height(), 1)));
  } else if (k == "tab") {
    showAttributes_ = !showAttributes_;
  } else if (k == "[" || k == "]") {
    stepRadius(k == "]" ? 1.25 : 0.8);
  } else if (k == "escape") {
    requestClose(e);
  } else if (e.ctrl && k == "q") {
    requestClose(e);
  }
  host_.uiHost().settle();
}

bool PaintWindow::save() {
  if (options_.documentPath.empty()) options_.documentPath = "document.pigmora";
  std::string error;
  if (!saveDocument(host_, doc_, options_.documentPath, error)) {
    status(error);
    return false;
  }
  savedStamp_ = documentStamp();
  status("Saved " + options_.documentPath + ".");
  return true;
}

void PaintWindow::requestClose(const InputRecord& e) {
  if (!modified()) {
    quit_ = true;
    return;
  }
  // 0 save, 1 close without saving, 2 stay.
  int answer = 2;
  if (scripted_) {
    answer = e.answer == "save" ? 0 : e.answer == "cancel" ? 2 : 1;
  } else {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 0, "Save"},
        {0, 1, "Don't Save"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "Cancel"}};
    const SDL_MessageBoxData box = {SDL_MESSAGEBOX_WARNING,
                                    window_,
                                    "Pigmora",
                                    "The document has changes that are not saved. Save them "
                                    "before closing?",
                                    3,
                                    buttons,
                                    nullptr};
    if (SDL_ShowMessageBox(&box, &answer) != 0) answer = 2;
  }
  if (answer == 0 && !save()) return;
  if (answer != 2) quit_ = true;
}

void PaintWindow::layoutPanels() {
  std::vector<Panel> next;
  int32_t y = kBarHeight;
  panelWidth_ = kPanelMin;
  for (Window* w : host_.uiHost().windows())
    if (w->isOpen()) panelWidth_ = std::max(panelWidth_, std::min(w->width(), kPanelMax));
  panelWidth_ = std::min(panelWidth_, std::max((width_ - attributeWidth()) / 2, 1));
  for (Window* w : host_.uiHost().windows()) {
    if (!w->isOpen()) continue;
    // The panel shows the window at the column's width, cut at the bottom of the column.
    const int32_t h = std::min(w->height(), std::max(height_ - kBarHeight - y, 0));
    if (h <= 0) continue;
    Panel p;
    auto old =
        std::find_if(panels_.begin(), panels_.end(), [&](const Panel& o) { return o.window == w; });
    if (old != panels_.end()) p = std::move(*old);
    p.window = w;
    p.x = width_ - panelWidth_;
    p.y = y;
    const uint64_t stamp = w->pictureStamp();
    if (stamp != p.stamp || p.picture.width() != panelWidth_ || p.picture.height() != h ||
        old == panels_.end()) {
      const Canvas full = w->render();
      p.picture.reset(panelWidth_, h, theme::kPanel);
      p.picture.draw(full, 0, 0);
      p.stamp = stamp;
      overlay_->update(p.gpu, p.picture);
    }
    next.push_back(std::move(p));
    y += h;
  }
  panels_ = std::move(next);
}

void PaintWindow::drawBars() {
  Font& font = host_.uiHost().font();
  const int32_t textY = (kBarHeight - font.lineHeight()) / 2;
  menuBar_.reset(std::max(width_, 1), kBarHeight, kBarColor);
  if (menuOpen_) menuBar_.fill(0, 0, 89, kBarHeight - 1, kAccent);
  font.draw(menuBar_, "Plug-ins", 12, textY, kBarText);
  // A document without a name goes by the file Ctrl+S saves it to.
  std::string name = doc_.name();
  if (name.empty())
    name = options_.documentPath.substr(options_.documentPath.find_last_of('/') + 1);
  if (name.empty()) name = "untitled";
  font.draw(menuBar_, "Pigmora - " + name + (modified() ? " *" : ""), 110, textY,
            Rgba{170, 170, 170, 255});
  overlay_->update(menuBarGpu_, menuBar_);
  overlay_->draw(menuBarGpu_, 0, 0, width_, height_);

  std::string text = host_.events().statusText();
  if (text.empty()) text = message_;
  statusBar_.reset(std::max(width_, 1), kBarHeight, kBarColor);
  const double bar = host_.events().statusBar();
  if (bar > 0)
    statusBar_.fill(width_ - 210, 6, width_ - 210 + static_cast<int32_t>(bar * 2), 17, kAccent);
  font.draw(statusBar_, text, 10, textY, kBarText);
  overlay_->update(statusBarGpu_, statusBar_);
  overlay_->draw(statusBarGpu_, 0, height_ - kBarHeight, width_, height_);

  if (popup_.isOpen()) {
    popup_.draw();
    popupGpu_.resize(std::max(popupGpu_.size(), popup_.levels().size()));
    for (size_t i = 0; i < popup_.levels().size(); ++i) {
      const MenuOverlay::Level& level = popup_.levels()[i];
      overlay_->update(popupGpu_[i], level.picture);
      overlay_->draw(popupGpu_[i], level.x, level.y, width_, height_);
    }
  }
}

void PaintWindow::frame() {
  frame(true);
}

void PaintWindow::frame(bool present) {
  const double t0 = nowMs();
  if (width_ <= 0 || height_ <= 0) return;  // a window shrunk to nothing shows nothing
  glViewport(0, 0, width_, height_);
  glClearColor(0.2f, 0.2f, 0.21f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  scene_->sync();
  const host::UiRect vp = viewport();
  const host::CameraObject& cam = viewCamera();
  const double halfFov = cam.aperture() * 0.5 / std::max(cam.focalLength(), 1e-6);
  if (vp.width() > 0 && vp.height() > 0)
    scene_->draw(cam.globalMatrix(), halfFov, vp.x1, height_ - 1 - vp.y2, vp.width(), vp.height());
  for (const Panel& p : panels_) overlay_->draw(p.gpu, p.x, p.y, width_, height_);
  if (attributeWidth() > 0) {
    AttributeModel& model = attributeModel();
    attributes_.refresh(model);
    attributes_.draw(attributePicture_, host_.uiHost().font(), height_ - 2 * kBarHeight);
    overlay_->update(attributeGpu_, attributePicture_);
    overlay_->draw(attributeGpu_, 0, kBarHeight, width_, height_);
  }
  drawBars();
  if (!present) return;
  SDL_GL_SwapWindow(window_);
  glFinish();
  const double t1 = nowMs();
  timing_.frameMs.push_back(t1 - t0);
  if (firstDab_ >= 0) {
    timing_.dabToScreenMs.push_back(t1 - firstDab_);
    firstDab_ = -1;
  }
  if (pendingMove_ >= 0) {
    timing_.moveToScreenMs.push_back(
        static_cast<double>(static_cast<int64_t>(SDL_GetTicks64() - start_) - pendingMove_));
    pendingMove_ = -1;
  }
}

void PaintWindow::readPixels(Canvas& out) {
  out.reset(width_, height_, Rgba{});
  if (width_ <= 0 || height_ <= 0) return;
  // What was shown last, drawn again into the back buffer, whose pixels are defined.
  frame(false);
  std::vector<uint8_t> rows(static_cast<size_t>(width_) * height_ * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* src = &rows[static_cast<size_t>(height_ - 1 - y) * width_ * 4];
    for (int32_t x = 0; x < width_; ++x)
      out.set(x, y, Rgba{src[4 * x], src[4 * x + 1], src[4 * x + 2], 255});
  }
}

bool PaintWindow::run(std::string& error) {
  host_.uiHost().settle();
  layoutPanels();
  frame();
  while (!quit_) {
    InputRecord e;
    bool any = false;
    while (!quit_ && nextEvent(e, !any)) {
      handle(e);
      any = true;
      // A replay draws after every event, as a person sees every step.
      if (scripted_) break;
    }
    if (scripted_ && !any && script_.empty() && deferred_.empty()) break;
    host_.uiHost().settle();
    layoutPanels();
    frame();
  }
  bool ok = true;
  if (!options_.screenshot.empty()) {
    Canvas shot;
    readPixels(shot);
    if (!shot.save(options_.screenshot, error)) ok = false;
  }
  if (!options_.record.empty() && !writeInputScript(options_.record, recorded_, error)) ok = false;
  return ok;
}

}  // namespace hostapp
