#include "lib/gui/viewarea.h"

#include <cmath>

#include "host/binding.h"

namespace pigmora {

ViewAreaBase::~ViewAreaBase() {
  host::destroy(layout_);
}

bool ViewAreaBase::ensureLayout() {
  if (!layout_) layout_ = host::make<LayoutAutoGrid>();
  return layout_ != nullptr;
}

bool ViewAreaBase::init() {
  // Subclasses populate the grid; without one the area stays empty.
  if (ensureLayout()) clear();
  return true;
}

void ViewAreaBase::clear() {
  lastHovered_ = nullptr;
  if (layout_) layout_->clear();
}

bool ViewAreaBase::getMinSize(int32_t& width, int32_t& height) {
  if (!layout_) return false;
  layout_->minimumSize(width, height);
  return true;
}

void ViewAreaBase::sized(int32_t width, int32_t height) {
  if (!layout_) return;
  int32_t w0 = 0, h0 = 0, w1 = 0, h1 = 0;
  layout_->minimumSize(w0, h0);
  layout_->setAreaSize(width, height);
  layout_->minimumSize(w1, h1);
  // Another column count needs another height.
  if (w0 != w1 || h0 != h1) layoutChanged();
  redraw();
}

void ViewAreaBase::setCellSize(int32_t n) {
  if (!layout_) return;
  layout_->setCellSize(n, n);
  layoutChanged();
  redraw();
}

host::UiRect ViewAreaBase::visibleRect() const {
  const host::UiRect all{0, 0, width() - 1, height() - 1};
  host::UiRect shown;
  if (!owner_ || !owner_->visibleArea(scrollGroupId_, shown)) return all;
  return {std::max(all.x1, shown.x1), std::max(all.y1, shown.y1), std::min(all.x2, shown.x2),
          std::min(all.y2, shown.y2)};
}

void ViewAreaBase::draw(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  (void)x1;
  (void)y1;
  (void)x2;
  (void)y2;
  const host::UiRect visible = visibleRect();
  setPen(host::kColorBackground);
  fillRect(visible.x1, visible.y1, visible.x2, visible.y2);
  if (layout_) layout_->draw(*this, visible);
}

bool ViewAreaBase::inputEvent(const host::InputEvent& event) {
  if (event.device != host::kDeviceMouse) return false;
  switch (event.channel) {
    case host::kMouseLeft:
      if (layout_) {
        inClick_ = true;
        layout_->click(*this, event, event.x, event.y);
        inClick_ = false;
        redraw();
      }
      return true;
    case host::kMouseRight:
    case host::kMouseWheel:
      return true;
    default:
      return false;
  }
}

bool ViewAreaBase::cursorInfo(host::CursorInfo& info) {
  if (!layout_) return false;
  if (info.x == lastX_ && info.y == lastY_) return true;
  lastX_ = info.x;
  lastY_ = info.y;
  layout_->hover(info.x, info.y);
  LayoutElement* now = layout_->element(layout_->hovered());
  if (now != lastHovered_) {
    lastHovered_ = now;
    if (!inClick_) redraw();
  }
  return true;
}

bool ViewAreaBase::dragReceive(host::DragReceive& drag) {
  switch (drag.type) {
    case host::kDragFilename:
      if (!drag.finished) {
        drag.cursor = canDropAt(drag.x, drag.y) ? host::kCursorDropCopy : host::kCursorForbidden;
      } else if (!drag.data.empty()) {
        dropFile(drag.data, drag.x, drag.y);
      }
      return true;
    case host::kDragObjects:
    case host::kDragMaterials:
      drag.cursor = host::kCursorDropCopy;
      return true;
    default:
      drag.cursor = host::kCursorForbidden;
      return true;
  }
}

bool ViewAreaBase::listItems(std::vector<host::UiItem>& items) {
  if (!layout_) return false;
  for (int32_t i = 0; i < layout_->count(); ++i) {
    LayoutElement* e = layout_->element(i);
    items.push_back({layout_->cellRect(i), e->label(), e->selected()});
  }
  return true;
}

}  // namespace pigmora
