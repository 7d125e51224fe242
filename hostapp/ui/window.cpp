#include "hostapp/ui/window.h"

#include <algorithm>

#include "hostapp/ui/font.h"
#include "hostapp/ui/layout.h"
#include "hostapp/ui/ui_host.h"

namespace hostapp {

namespace {
constexpr int32_t kWindowPadding = 4;

std::string labelOf(const Widget& w) {
  if (w.is(host::GadgetKind::kStaticText)) return w.value.toString();
  return w.text;
}
}  // namespace

Window::Window(UiHost& host, host::GeDialog& dialog, int32_t type, int32_t pluginId, int32_t x,
               int32_t y, int32_t width, int32_t height)
    : host_(host),
      type_(type),
      pluginId_(pluginId),
      x_(x),
      y_(y),
      width_(0),
      height_(0),
      defaultWidth_(width),
      defaultHeight_(height),
      rootWidget_(std::make_unique<Widget>()) {
  rootWidget_->spaceLeft = rootWidget_->spaceTop = kWindowPadding;
  rootWidget_->spaceRight = rootWidget_->spaceBottom = kWindowPadding;
  root_ = addScope(dialog, *rootWidget_);
}

Window::~Window() {
  // Areas first: they may belong to a dialog that is still bound.
  areas_.clear();
  scopes_.clear();
}

DialogScope* Window::addScope(host::GeDialog& dialog, Widget& root) {
  scopes_.push_back(std::make_unique<DialogScope>(*this, dialog, root));
  return scopes_.back().get();
}

AreaSlot* Window::addArea(DialogScope& scope, Widget& widget, host::GeUserArea& area) {
  if (widget.area) return nullptr;  // one area per gadget
  areas_.push_back(std::make_unique<AreaSlot>(*this, scope, widget, area));
  return areas_.back().get();
}

bool Window::build() {
  // The dialog may close itself, or go away, inside any of its operations.
  UiHost& host = host_;
  host::GeDialog* dlg = dialog();
  if (!dlg) return false;
  open_ = true;
  const bool laidOut = dlg->createLayout();
  if (!host.contains(this)) return false;
  if (!laidOut) {
    open_ = false;
    return false;
  }
  settle();
  std::vector<DialogScope*> scopes;
  for (const auto& scope : scopes_) scopes.push_back(scope.get());
  for (DialogScope* scope : scopes) {
    if (scope->dialog()) scope->dialog()->initValues();
    if (!host.contains(this)) return false;
  }
  std::vector<AreaSlot*> slots;
  for (const auto& slot : areas_) slots.push_back(slot.get());
  for (AreaSlot* slot : slots) {
    if (slot->area()) slot->area()->initValues();
    if (!host.contains(this)) return false;
  }
  settle();
  return true;
}

void Window::close() {
  if (!open_) return;
  open_ = false;
  // Sub-dialogs first, then the window's own dialog; values stay readable.
  for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
    if ((*it)->dialog()) (*it)->dialog()->destroyWindow();
  }
}

int32_t Window::contentScreenY() const {
  return y_ + titleBarHeight(host_.font());
}

void Window::settle() {
  // A draw or a size may change minimum sizes again; a few rounds settle any sane area.
  for (int round = 0; round < 4 && layoutDirty_; ++round) {
    layoutDirty_ = false;
    Font& font = host_.font();
    measure(*rootWidget_, font);
    width_ = std::max(defaultWidth_, rootWidget_->minWidth);
    const int32_t contentH = std::max(defaultHeight_, rootWidget_->minHeight);
    height_ = contentH + titleBarHeight(font);
    const host::UiRect all{0, 0, width_ - 1, contentH - 1};
    arrange(*rootWidget_, all, all, true, font);
    for (const auto& slot : areas_) slot->update();
  }
  for (const auto& slot : areas_) slot->update();
}

Widget* Window::find(int32_t id) const {
  for (const auto& scope : scopes_) {
    if (Widget* w = scope->find(id)) return w;
  }
  return nullptr;
}

Widget* Window::findByText(const std::string& text) const {
  return findWidget(*rootWidget_, [&](const Widget& w) {
    return w.parent && !text.empty() && labelOf(w) == text;
  });
}

bool Window::usable(const Widget* w) const {
  if (!w || !open_ || !w->enabled) return false;
  const_cast<Window*>(this)->settle();
  return w->shown;
}

bool Window::commandOf(Widget& w) {
  DialogScope* scope = w.scope;
  UiHost& host = host_;
  bool result = false;
  {
    UiHost::Busy busy(host);
    result = scope && scope->command(w.id);
  }
  host.settle();
  return result;
}

bool Window::click(int32_t id) {
  Widget* w = find(id);
  return w && clickOn(*w);
}

bool Window::click(const std::string& text) {
  Widget* w = findByText(text);
  return w && clickOn(*w);
}

bool Window::clickOn(Widget& w) {
  const bool check = w.is(host::GadgetKind::kCheckBox);
  if (!usable(&w) || !(check || w.is(host::GadgetKind::kButton))) return false;
  if (check) w.value = host::Value::ofBool(!w.value.toBool());
  return commandOf(w);
}

bool Window::setText(int32_t id, const std::string& text) {
  Widget* w = find(id);
  if (!usable(w) || !(w->is(host::GadgetKind::kEditText))) return false;
  w->value = host::Value::ofString(text);
  return commandOf(*w);
}

bool Window::setFilename(int32_t id, const std::string& path) {
  Widget* w = find(id);
  if (!usable(w) || !w->is(host::GadgetKind::kFilename)) return false;
  w->value = host::Value::ofFilename(path);
  return commandOf(*w);
}

bool Window::setChecked(int32_t id, bool on) {
  Widget* w = find(id);
  if (!usable(w) || !w->is(host::GadgetKind::kCheckBox)) return false;
  w->value = host::Value::ofBool(on);
  return commandOf(*w);
}

bool Window::setNumber(int32_t id, double value) {
  Widget* w = find(id);
  if (!usable(w) || !(w->is(host::GadgetKind::kSlider) || w->is(host::GadgetKind::kEditNumber)))
    return false;
  w->value = host::Value::ofReal(std::clamp(value, w->min, w->max));
  invalidateLayout();
  return commandOf(*w);
}

bool Window::selectTab(int32_t tabGroupId, int32_t index) {
  Widget* w = find(tabGroupId);
  if (!usable(w) || w->kind != WidgetKind::kTabGroup || index < 0 ||
      index >= static_cast<int32_t>(w->children.size()))
    return false;
  w->activeTab = index;
  invalidateLayout();
  return commandOf(*w);
}

bool Window::selectTab(const std::string& title) {
  Widget* tab = findByText(title);
  if (!tab || !tab->parent || tab->parent->kind != WidgetKind::kTabGroup) return false;
  Widget* group = tab->parent;
  for (size_t i = 0; i < group->children.size(); ++i) {
    if (group->children[i].get() != tab) continue;
    if (!usable(group)) return false;
    group->activeTab = static_cast<int32_t>(i);
    invalidateLayout();
    return commandOf(*group);
  }
  return false;
}

bool Window::scrollTo(int32_t scrollGroupId, int32_t x, int32_t y) {
  Widget* w = find(scrollGroupId);
  if (!usable(w) || w->kind != WidgetKind::kScrollGroup) return false;
  w->scrollX = x;
  w->scrollY = y;
  invalidateLayout();
  // The areas inside show another part: they draw it.
  for (const auto& slot : areas_) slot->redraw();
  settle();
  return true;
}

bool Window::reveal(int32_t areaId, const host::UiRect& rect) {
  AreaSlot* s = slot(areaId);
  if (!s || !usable(&s->widget())) return false;
  for (Widget* w = s->widget().parent; w; w = w->parent) {
    if (w->kind != WidgetKind::kScrollGroup) continue;
    settle();
    // The rectangle in the dialog's coordinates, against the part of the group that shows.
    const host::UiRect& area = s->widget().rect;
    const int32_t top = area.y1 + rect.y1, bottom = area.y1 + rect.y2;
    const int32_t left = area.x1 + rect.x1, right = area.x1 + rect.x2;
    int32_t dx = 0, dy = 0;
    if (bottom > w->clip.y2) dy = bottom - w->clip.y2;
    if (top - dy < w->clip.y1) dy = top - w->clip.y1;
    if (right > w->clip.x2) dx = right - w->clip.x2;
    if (left - dx < w->clip.x1) dx = left - w->clip.x1;
    if (dx || dy) scrollTo(w->id, w->scrollX + dx, w->scrollY + dy);
  }
  return true;
}

std::vector<host::UiItem> Window::items(int32_t areaId) {
  std::vector<host::UiItem> out;
  AreaSlot* s = slot(areaId);
  if (!s) return out;
  settle();
  s->area()->listItems(out);
  return out;
}

std::vector<const Widget*> Window::gadgets(host::GadgetKind kind) const {
  std::vector<const Widget*> out;
  findWidget(*rootWidget_, [&](const Widget& w) {
    if (w.is(kind) && w.scope == root_) out.push_back(&w);
    return false;
  });
  return out;
}

bool Window::closeByUser() {
  host::GeDialog* dlg = dialog();
  if (!open_ || !dlg) return false;
  if (dlg->askClose()) return false;
  close();
  return true;
}

AreaSlot* Window::slot(int32_t areaId) const {
  for (const auto& s : areas_) {
    if (s->widget().id == areaId && s->area()) return s.get();
  }
  return nullptr;
}

host::GeUserArea* Window::area(int32_t areaId) const {
  AreaSlot* s = slot(areaId);
  return s ? s->area() : nullptr;
}

bool Window::deliver(AreaSlot& slot, const host::InputEvent& event,
                     std::deque<host::MouseState> path) {
  UiHost& host = host_;
  bool handled = false;
  {
    UiHost::Busy busy(host);
    handled = slot.input(event, std::move(path));
  }
  host.settle();
  return handled;
}

bool Window::mouseMove(int32_t areaId, int32_t x, int32_t y, host::CursorInfo* answer) {
  AreaSlot* s = slot(areaId);
  if (!s || !usable(&s->widget())) return false;
  host::CursorInfo info;
  info.x = x;
  info.y = y;
  UiHost& host = host_;
  bool handled = false;
  {
    UiHost::Busy busy(host);
    handled = s->area()->cursorInfo(info);
  }
  if (answer) *answer = info;
  host.settle();
  return handled;
}

namespace {
// The mouse event that starts a click, a double click or a drag.
host::InputEvent pressEvent(int32_t x, int32_t y, int32_t button, int32_t qualifiers,
                            bool doubleClick) {
  host::InputEvent e;
  e.channel = button;
  e.x = x;
  e.y = y;
  e.qualifiers = qualifiers;
  e.doubleClick = doubleClick;
  return e;
}
}  // namespace

bool Window::mouseClick(int32_t areaId, int32_t x, int32_t y, int32_t button, int32_t qualifiers) {
  AreaSlot* s = slot(areaId);
  if (!s || !usable(&s->widget())) return false;
  return deliver(*s, pressEvent(x, y, button, qualifiers, false), {{x, y, qualifiers, false}});
}

bool Window::mouseDoubleClick(int32_t areaId, int32_t x, int32_t y, int32_t qualifiers) {
  UiHost& host = host_;
  mouseClick(areaId, x, y, host::kMouseLeft, qualifiers);
  if (!host.contains(this)) return false;
  AreaSlot* s = slot(areaId);
  if (!s || !usable(&s->widget())) return false;
  return deliver(*s, pressEvent(x, y, host::kMouseLeft, qualifiers, true),
                 {{x, y, qualifiers, false}});
}

bool Window::mouseDrag(int32_t areaId, const std::vector<std::pair<int32_t, int32_t>>& path,
                       int32_t button, int32_t qualifiers) {
  AreaSlot* s = slot(areaId);
  if (path.empty() || !s || !usable(&s->widget())) return false;
  const host::InputEvent e =
      pressEvent(path.front().first, path.front().second, button, qualifiers, false);
  std::deque<host::MouseState> moves;
  for (size_t i = 1; i < path.size(); ++i)
    moves.push_back({path[i].first, path[i].second, qualifiers, true});
  moves.push_back({path.back().first, path.back().second, qualifiers, false});
  return deliver(*s, e, std::move(moves));
}

bool Window::mousePress(int32_t areaId, int32_t x, int32_t y, int32_t button, int32_t qualifiers,
                        bool doubleClick) {
  AreaSlot* s = slot(areaId);
  if (!s || !usable(&s->widget())) return false;
  return deliver(*s, pressEvent(x, y, button, qualifiers, doubleClick), {});
}

bool Window::keyPress(int32_t areaId, int32_t key, int32_t qualifiers) {
  AreaSlot* s = slot(areaId);
  if (!s || !usable(&s->widget())) return false;
  host::InputEvent e;
  e.device = host::kDeviceKeyboard;
  e.channel = 0;
  e.key = key;
  e.qualifiers = qualifiers;
  return deliver(*s, e, {});
}

int32_t Window::drop(int32_t areaId, int32_t x, int32_t y, int32_t type, const std::string& data) {
  AreaSlot* s = slot(areaId);
  if (!s || !usable(&s->widget())) return host::kCursorForbidden;
  UiHost& host = host_;
  host::DragReceive hover;
  hover.type = type;
  hover.data = data;
  hover.x = x;
  hover.y = y;
  {
    UiHost::Busy busy(host);
    if (!s->area()->dragReceive(hover)) hover.cursor = host::kCursorForbidden;
    // The user lets go where the area showed it would take the drop.
    if (hover.cursor != host::kCursorForbidden && host.contains(this) && s->area()) {
      host::DragReceive release = hover;
      release.finished = true;
      s->area()->dragReceive(release);
    }
  }
  host.settle();
  return hover.cursor;
}

const Canvas* Window::areaPicture(int32_t areaId) {
  AreaSlot* s = slot(areaId);
  return s ? &s->picture() : nullptr;
}

void Window::advance(int32_t ms) {
  UiHost& host = host_;
  std::vector<DialogScope*> scopes;
  for (const auto& sc : scopes_) scopes.push_back(sc.get());
  std::vector<AreaSlot*> slots;
  for (const auto& sl : areas_) slots.push_back(sl.get());
  for (DialogScope* sc : scopes) {
    if (!host.contains(this) || !open_) return;
    sc->advance(ms);
  }
  for (AreaSlot* sl : slots) {
    if (!host.contains(this) || !open_) return;
    sl->advance(ms);
  }
}

}  // namespace hostapp
