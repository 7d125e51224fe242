#include "hostapp/ui/dialog_scope.h"

#include <algorithm>

#include "hostapp/ui/ui_host.h"
#include "hostapp/ui/window.h"

namespace hostapp {

namespace {

// Own gadgets only: a sub-dialog's gadgets belong to its own scope. The scope's root is the
// window's root group or the sub-dialog gadget, which belongs to the dialog around it.
Widget* findIn(Widget& w, const DialogScope* scope, int32_t id, bool isRoot) {
  if (!isRoot) {
    if (w.scope != scope) return nullptr;
    if (id != 0 && w.id == id) return &w;
  }
  for (auto& c : w.children) {
    if (Widget* found = findIn(*c, scope, id, false)) return found;
  }
  return nullptr;
}

bool holdsString(const Widget& w) {
  return w.is(host::GadgetKind::kStaticText) || w.is(host::GadgetKind::kEditText) ||
         w.is(host::GadgetKind::kFilename) || w.is(host::GadgetKind::kButton);
}

}  // namespace

DialogScope::DialogScope(Window& window, host::GeDialog& dialog, Widget& root)
    : window_(window), dialog_(&dialog), root_(root) {
  if (!root_.scope) root_.scope = this;
  stack_.push_back(&root_);
  // A dialog reopened or moved into another window leaves the old one first.
  if (dialog.port()) dialog.port()->released();
  dialog.bindPort(this);
}

DialogScope::~DialogScope() {
  detach();
}

void DialogScope::detach() {
  if (dialog_ && dialog_->port() == this) dialog_->bindPort(nullptr);
  dialog_ = nullptr;
}

Widget* DialogScope::add(WidgetKind kind, int32_t id, int32_t flags) {
  Widget* parent = stack_.back();
  auto w = std::make_unique<Widget>();
  w->kind = kind;
  w->id = id;
  w->flags = flags;
  w->scope = this;
  w->parent = parent;
  Widget* raw = w.get();
  parent->children.push_back(std::move(w));
  window_.invalidateLayout();
  return raw;
}

bool DialogScope::setTitle(const std::string& title) {
  if (this != window_.scopes().front().get()) return false;  // the window's own dialog names it
  window_.setTitle(title);
  return true;
}

bool DialogScope::groupBegin(int32_t id, int32_t flags, int32_t columns, int32_t rows,
                             const std::string& title, int32_t groupFlags) {
  Widget* g = add(WidgetKind::kGroup, id, flags);
  g->columns = columns;
  g->rows = rows;
  g->text = title;
  g->groupFlags = groupFlags;
  stack_.push_back(g);
  return true;
}

bool DialogScope::tabGroupBegin(int32_t id, int32_t flags) {
  Widget* g = add(WidgetKind::kTabGroup, id, flags);
  g->gapX = g->gapY = 0;
  stack_.push_back(g);
  return true;
}

bool DialogScope::scrollGroupBegin(int32_t id, int32_t flags, int32_t scrollFlags, int32_t width,
                                   int32_t height) {
  Widget* g = add(WidgetKind::kScrollGroup, id, flags);
  g->groupFlags = scrollFlags;
  g->requestedWidth = width;
  g->requestedHeight = height;
  g->gapX = g->gapY = 0;
  stack_.push_back(g);
  return true;
}

bool DialogScope::groupEnd() {
  if (stack_.size() <= 1) return false;
  stack_.pop_back();
  return true;
}

bool DialogScope::groupBorder(int32_t style) {
  stack_.back()->border = style;
  window_.invalidateLayout();
  return true;
}

bool DialogScope::groupBorderSpace(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Widget* g = stack_.back();
  g->spaceLeft = std::max(0, left);
  g->spaceTop = std::max(0, top);
  g->spaceRight = std::max(0, right);
  g->spaceBottom = std::max(0, bottom);
  window_.invalidateLayout();
  return true;
}

bool DialogScope::groupSpace(int32_t x, int32_t y) {
  stack_.back()->gapX = std::max(0, x);
  stack_.back()->gapY = std::max(0, y);
  window_.invalidateLayout();
  return true;
}

bool DialogScope::addGadget(host::GadgetKind kind, int32_t id, int32_t flags, int32_t width,
                            int32_t height, const std::string& text) {
  Widget* w =
      add(kind == host::GadgetKind::kSubDialog ? WidgetKind::kSubDialog : WidgetKind::kGadget, id,
          flags);
  w->gadget = kind;
  w->requestedWidth = width;
  w->requestedHeight = height;
  switch (kind) {
    case host::GadgetKind::kStaticText:
      w->value = host::Value::ofString(text);
      break;
    case host::GadgetKind::kEditText:
      w->value = host::Value::ofString("");
      break;
    case host::GadgetKind::kFilename:
      w->text = text;
      w->value = host::Value::ofFilename("");
      break;
    case host::GadgetKind::kCheckBox:
      w->text = text;
      w->value = host::Value::ofBool(false);
      break;
    case host::GadgetKind::kSlider:
    case host::GadgetKind::kEditNumber:
      w->value = host::Value::ofReal(0.0);
      w->min = 0.0;
      w->max = kind == host::GadgetKind::kSlider ? 1.0 : 1e9;
      w->step = 0.01;
      break;
    default:
      w->text = text;
      break;
  }
  return true;
}

bool DialogScope::attachUserArea(host::GeUserArea& area, int32_t id) {
  Widget* w = find(id);
  if (!w || !w->is(host::GadgetKind::kUserArea)) return false;
  AreaSlot* slot = window_.addArea(*this, *w, area);
  if (!slot) return false;
  area.init();
  window_.invalidateLayout();
  return true;
}

bool DialogScope::attachSubDialog(host::SubDialog& dialog, int32_t id) {
  Widget* w = find(id);
  if (!w || w->kind != WidgetKind::kSubDialog || !w->children.empty()) return false;
  DialogScope* sub = window_.addScope(dialog, *w);
  if (!sub) return false;
  if (!dialog.createLayout()) {
    sub->detach();
    return false;
  }
  window_.invalidateLayout();
  return true;
}

bool DialogScope::setValue(int32_t id, const host::Value& value) {
  Widget* w = find(id);
  if (!w || w->kind != WidgetKind::kGadget) return false;
  switch (w->gadget) {
    case host::GadgetKind::kCheckBox:
      if (!value.isNumeric()) return false;
      w->value = host::Value::ofBool(value.toBool());
      break;
    case host::GadgetKind::kSlider:
    case host::GadgetKind::kEditNumber:
      if (!value.isNumeric()) return false;
      w->value = host::Value::ofReal(std::clamp(value.toReal(), w->min, w->max));
      break;
    case host::GadgetKind::kUserArea:
    case host::GadgetKind::kSeparator:
    case host::GadgetKind::kSubDialog:
      return false;
    default:
      if (value.type() != host::ValueType::kString && value.type() != host::ValueType::kFilename)
        return false;
      if (w->is(host::GadgetKind::kButton))
        w->text = value.toString();
      else
        w->value = w->is(host::GadgetKind::kFilename) ? host::Value::ofFilename(value.toString())
                                                      : host::Value::ofString(value.toString());
      // Labels and captions without a fixed size grow with their text.
      if (w->is(host::GadgetKind::kStaticText) || w->is(host::GadgetKind::kButton))
        window_.invalidateLayout();
      break;
  }
  return true;
}

bool DialogScope::getValue(int32_t id, host::Value& out) const {
  const Widget* w = find(id);
  if (!w || w->kind != WidgetKind::kGadget) return false;
  if (w->is(host::GadgetKind::kButton)) {
    out = host::Value::ofString(w->text);
    return true;
  }
  if (w->value.type() == host::ValueType::kNone) return false;
  out = w->value;
  return holdsString(*w) || w->value.isNumeric();
}

bool DialogScope::setRange(int32_t id, double min, double max, double step, int32_t format) {
  Widget* w = find(id);
  if (!w || !(w->is(host::GadgetKind::kSlider) || w->is(host::GadgetKind::kEditNumber)) ||
      !(min <= max))
    return false;
  w->min = min;
  w->max = max;
  w->step = step > 0.0 ? step : 0.0;
  w->format = format;
  w->value = host::Value::ofReal(std::clamp(w->value.toReal(), min, max));
  return true;
}

bool DialogScope::enable(int32_t id, bool on) {
  Widget* w = find(id);
  if (!w) return false;
  w->enabled = on;
  return true;
}

bool DialogScope::close() {
  if (!window_.isOpen()) return false;
  window_.close();
  return true;
}

bool DialogScope::isOpen() const {
  return window_.isOpen();
}

bool DialogScope::localToScreen(int32_t& x, int32_t& y) const {
  // A sub-dialog's coordinates start at its gadget.
  const bool sub = root_.kind == WidgetKind::kSubDialog;
  x += window_.contentScreenX() + (sub ? root_.rect.x1 : 0);
  y += window_.contentScreenY() + (sub ? root_.rect.y1 : 0);
  return true;
}

bool DialogScope::visibleArea(int32_t scrollId, host::UiRect& rect) const {
  const_cast<Window&>(window_).settle();
  const Widget* w = find(scrollId);
  if (!w || w->kind != WidgetKind::kScrollGroup) return false;
  const int32_t viewW = std::min(w->contentWidth, w->rect.width());
  const int32_t viewH = std::min(w->contentHeight, w->rect.height());
  rect = {w->scrollX, w->scrollY, w->scrollX + viewW - 1, w->scrollY + viewH - 1};
  return true;
}

bool DialogScope::setTimer(int32_t ms) {
  timerMs_ = std::max(0, ms);
  timerElapsed_ = 0;
  return true;
}

void DialogScope::layoutChanged() {
  window_.invalidateLayout();
}

void DialogScope::released() {
  dialog_ = nullptr;
  // The window's own dialog takes the window with it.
  if (this == window_.scopes().front().get()) window_.host().forget(&window_);
}

Widget* DialogScope::find(int32_t id) const {
  return findIn(root_, this, id, true);
}

bool DialogScope::command(int32_t id) {
  if (!dialog_) return false;
  const host::Settings msg(id);
  return dialog_->command(id, msg);
}

void DialogScope::advance(int32_t ms) {
  if (!dialog_ || timerMs_ <= 0) return;
  for (timerElapsed_ += ms; timerElapsed_ >= timerMs_ && dialog_; timerElapsed_ -= timerMs_) {
    dialog_->timer(host::Settings(0));
  }
}

}  // namespace hostapp
