#include "lib/gui/menuarea.h"

#include "host/binding.h"
#include "lib/gui/viewdialog.h"

namespace pigmora {

namespace {
constexpr int32_t kMargin = 10;       // top of the first header, left of the headers
constexpr int32_t kIndent = 20;       // entries sit this far right of their header
constexpr int32_t kHeaderSpace = 20;  // a header's line and the space after its entries
constexpr int32_t kLineGap = 5;
constexpr int32_t kPanelWidth = 200;
}  // namespace

int32_t MenuItem::drawLine(host::GeUserArea& area, int32_t x, int32_t y, int32_t right,
                           bool measureOnly) {
  const int32_t th = area.textHeight();
  left_ = x - 5;
  right_ = right;
  top_ = y;
  bottom_ = y + th;
  if (!measureOnly) {
    if (pressed_) {
      area.setPen(host::Vector(0.4, 0.4, 0.4));
      area.fillRect(left_, top_, right_, bottom_);
    }
    area.setTextColor(hover_ ? host::kColorTextHover : host::kColorText,
                      host::kColorLineBackground);
    area.drawText(name_, x, y);
    if (hover_ || pressed_) area.drawBorder(host::kBorderHighlight, left_, top_, right_, bottom_);
  }
  return th + kLineGap;
}

int32_t MenuItem::draw(host::GeUserArea& area, int32_t x, int32_t y, int32_t right, int32_t bottom,
                       bool measureOnly) {
  (void)bottom;
  return drawLine(area, x, y, right, measureOnly);
}

MenuItem* MenuItem::hit(int32_t x, int32_t y) {
  return x >= left_ && x <= right_ && y >= top_ && y <= bottom_ ? this : nullptr;
}

MenuHeader::~MenuHeader() {
  for (MenuItem* e : entries_) host::destroy(e);
}

MenuItem* MenuHeader::addEntry(const std::string& name, int32_t commandId) {
  MenuItem* item = host::make<MenuItem>(name, commandId);
  if (!item) return nullptr;
  if (!entries_.push(item)) {
    host::destroy(item);
    return nullptr;
  }
  return item;
}

int32_t MenuHeader::draw(host::GeUserArea& area, int32_t x, int32_t y, int32_t right,
                         int32_t bottom, bool measureOnly) {
  const int32_t step = drawLine(area, x, y, right, measureOnly);
  if (!expanded_) return 0;
  int32_t h = 0;
  for (MenuItem* e : entries_) {
    h += step;
    e->draw(area, x + kIndent, y + h, right, bottom, measureOnly);
  }
  return h;
}

MenuItem* MenuHeader::hit(int32_t x, int32_t y) {
  if (MenuItem::hit(x, y)) return this;
  if (!expanded_) return nullptr;
  for (MenuItem* e : entries_)
    if (MenuItem* m = e->hit(x, y)) return m;
  return nullptr;
}

MenuArea::~MenuArea() {
  clear();
}

MenuHeader* MenuArea::addHeader(const std::string& name) {
  MenuHeader* header = host::make<MenuHeader>(name);
  if (!header) return nullptr;
  if (!headers_.push(header)) {
    host::destroy(header);
    return nullptr;
  }
  layoutChanged();
  redraw();
  return header;
}

void MenuArea::clear() {
  for (MenuHeader* h : headers_) host::destroy(h);
  headers_.clear();
}

int32_t MenuArea::layoutLines(bool measureOnly) {
  int32_t y = kMargin;
  const int32_t right = (width_ > 0 ? width_ : kPanelWidth) - 5;
  for (MenuHeader* h : headers_)
    y += h->draw(*this, kMargin, y, right, height_, measureOnly) + kHeaderSpace;
  return y;
}

bool MenuArea::getMinSize(int32_t& width, int32_t& height) {
  width = kPanelWidth;
  if (headers_.empty()) {
    height = 20;
    return true;
  }
  height = kHeaderSpace;
  for (MenuHeader* h : headers_)
    height += h->draw(*this, kMargin, 0, kPanelWidth - 5, 0, true) + kHeaderSpace;
  return true;
}

void MenuArea::sized(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  redraw();
}

void MenuArea::draw(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  setPen(host::kColorBackground);
  fillRect(x1, y1, x2, y2);
  layoutLines(false);
}

MenuItem* MenuArea::hit(int32_t x, int32_t y) {
  for (MenuHeader* h : headers_)
    if (MenuItem* m = h->hit(x, y)) return m;
  return nullptr;
}

bool MenuArea::inputEvent(const host::InputEvent& event) {
  if (event.device != host::kDeviceMouse || event.channel != host::kMouseLeft) return false;
  layoutLines(true);
  MenuItem* item = hit(event.x, event.y);
  if (!item) return true;
  if (item->kind() == kMenuItemHeader) {
    auto* header = static_cast<MenuHeader*>(item);
    header->setExpanded(!header->expanded());
    // Lines that fold away keep no hover.
    for (size_t i = 0; i < header->entryCount(); ++i) header->entry(i)->setHover(false);
    layoutChanged();
    redraw();
    return true;
  }
  item->setPressed(true);
  redraw();
  const int32_t id = item->commandId();
  if (owner_) {
    owner_->menuCommand(id);
    owner_->menuCommandDone(id);
  }
  item->setPressed(false);
  redraw();
  return true;
}

bool MenuArea::cursorInfo(host::CursorInfo& info) {
  layoutLines(true);
  MenuItem* under = hit(info.x, info.y);
  for (MenuHeader* h : headers_) {
    h->setHover(false);
    for (size_t i = 0; i < h->entryCount(); ++i) h->entry(i)->setHover(false);
  }
  if (under) under->setHover(true);
  redraw();
  return true;
}

bool MenuArea::listItems(std::vector<host::UiItem>& items) {
  layoutLines(true);
  for (MenuHeader* h : headers_) {
    items.push_back({h->rect(), h->name(), h->expanded()});
    if (!h->expanded()) continue;
    for (size_t i = 0; i < h->entryCount(); ++i)
      items.push_back({h->entry(i)->rect(), h->entry(i)->name(), false});
  }
  return true;
}

}  // namespace pigmora
