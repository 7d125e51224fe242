#include "lib/gui/layout.h"

#include <algorithm>

#include "host/binding.h"
#include "lib/gui/viewarea.h"

namespace pigmora {

LayoutBase::~LayoutBase() {
  for (LayoutElement* e : elements_) host::destroy(e);
}

int32_t LayoutBase::indexOf(const LayoutElement* element) const {
  for (size_t i = 0; i < elements_.size(); ++i)
    if (elements_[i] == element) return static_cast<int32_t>(i);
  return -1;
}

void LayoutBase::drawFrame(ViewAreaBase& area, const host::UiRect& r, bool hovered,
                           bool selected) const {
  const host::Vector color = selected  ? host::Vector(1, 1, 1)
                             : hovered ? host::Vector(1, 1, 0)
                                       : host::Vector(0, 0, 0);
  area.setPen(color);
  area.drawLine(r.x1, r.y1, r.x2, r.y1);
  area.drawLine(r.x1, r.y2, r.x2, r.y2);
  area.drawLine(r.x1, r.y1, r.x1, r.y2);
  area.drawLine(r.x2, r.y1, r.x2, r.y2);
  // Corners rounded by two pixels: the corner and its neighbours on the frame go back to the
  // background, and the pixel diagonally inside closes the outline.
  const int32_t xs[2] = {r.x1, r.x2}, ys[2] = {r.y1, r.y2};
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      const int32_t x = xs[i], y = ys[j], dx = i == 0 ? 1 : -1, dy = j == 0 ? 1 : -1;
      area.setPen(host::kColorBackground);
      area.fillRect(x, y, x, y);
      area.fillRect(x + dx, y, x + dx, y);
      area.fillRect(x, y + dy, x, y + dy);
      area.setPen(color);
      area.fillRect(x + dx, y + dy, x + dx, y + dy);
    }
  }
}

void LayoutBase::draw(ViewAreaBase& area, const host::UiRect& visible) {
  lastDrawCount_ = 0;
  if (elements_.empty()) return;
  int32_t first = 0, last = -1;
  visibleRange(visible, first, last);
  for (int32_t i = first; i <= last; ++i) {
    LayoutElement* e = element(i);
    if (!e) continue;
    const host::UiRect r = cellRect(i);
    e->beforeDraw();
    e->draw(area, r.x1, r.y1, r.x2, r.y2, quickDraw_);
    drawFrame(area, r, i == hovered_, e->selected());
    e->afterDraw();
    ++lastDrawCount_;
  }
}

void LayoutBase::setAreaSize(int32_t width, int32_t height) {
  (void)width;
  (void)height;
  update();
}

bool LayoutBase::hover(int32_t x, int32_t y) {
  const int32_t now = indexAt(x, y);
  if (now == hovered_) return false;
  if (LayoutElement* old = element(hovered_)) old->hoverChanged(false);
  hovered_ = now;
  if (LayoutElement* e = element(hovered_)) e->hoverChanged(true);
  return true;
}

void LayoutBase::clearHover() {
  if (LayoutElement* old = element(hovered_)) old->hoverChanged(false);
  hovered_ = -1;
}

LayoutElement* LayoutBase::elementAt(int32_t x, int32_t y) const {
  return element(indexAt(x, y));
}

LayoutElement* LayoutBase::click(ViewAreaBase& area, const host::InputEvent& event, int32_t x,
                                 int32_t y) {
  const int32_t qualifiers = event.qualifiers;
  LayoutElement* hit = elementAt(x, y);
  auto select = [&] {
    if (!(qualifiers & (host::kQualShift | host::kQualCtrl)))
      for (LayoutElement* e : elements_) e->setSelected(false);
    if (hit) hit->setSelected(!(qualifiers & host::kQualCtrl));
  };
  if (!hit) {
    select();
    return nullptr;
  }
  // Positions in the gaps belong to the cell to their right and below: they come out negative.
  const host::UiRect r = cellRect(indexOf(hit));
  const int32_t localX = x - r.x1, localY = y - r.y1;
  if (hit->handlesHit()) {
    select();
    hit->click(area, event, qualifiers, localX, localY, x, y);
  } else {
    hit->click(area, event, qualifiers, localX, localY, x, y);
    select();
  }
  return hit;
}

void LayoutBase::setCellSize(int32_t width, int32_t height) {
  cellW_ = std::max(1, width);
  cellH_ = std::max(1, height);
  for (LayoutElement* e : elements_) e->setSize(cellW_, cellH_);
  update();
}

void LayoutBase::clear() {
  for (LayoutElement* e : elements_) host::destroy(e);
  elements_.clear();
  hovered_ = -1;
  update();
}

bool LayoutBase::addElement(LayoutElement* element) {
  if (!element) return false;
  if (!elements_.push(element)) {
    host::destroy(element);
    return false;
  }
  element->setSize(cellW_, cellH_);
  update();
  return true;
}

void LayoutBase::removeElement(LayoutElement* element) {
  const int32_t at = indexOf(element);
  if (at < 0) return;
  elements_.erase(static_cast<size_t>(at));
  if (hovered_ == at)
    hovered_ = -1;
  else if (hovered_ > at)
    --hovered_;
  host::destroy(element);
  update();
}

void LayoutAutoGrid::setAreaSize(int32_t width, int32_t height) {
  (void)height;
  areaWidth_ = std::max(0, width);
  update();
}

void LayoutAutoGrid::update() {
  columns_ = std::max(1, areaWidth_ / (cellW_ + gapX_));
}

void LayoutAutoGrid::minimumSize(int32_t& width, int32_t& height) const {
  width = 150;
  if (columns_ <= 0) {
    height = 150;
    return;
  }
  const int32_t rows = (count() + columns_ - 1) / columns_;
  height = rows * (cellH_ + gapY_) + gapY_;
}

host::UiRect LayoutAutoGrid::cellRect(int32_t index) const {
  const int32_t column = index % columns_, row = index / columns_;
  return {gapX_ + column * (cellW_ + gapX_), gapY_ + row * (cellH_ + gapY_),
          (cellW_ + gapX_) * (column + 1), (cellH_ + gapY_) * (row + 1)};
}

int32_t LayoutAutoGrid::indexAt(int32_t x, int32_t y) const {
  if (x < 0 || y < 0) return -1;
  const int32_t column = x / (cellW_ + gapX_), row = y / (cellH_ + gapY_);
  const int64_t index = int64_t{column} + int64_t{row} * columns_;
  return column < columns_ && index < count() ? static_cast<int32_t>(index) : -1;
}

void LayoutAutoGrid::visibleRange(const host::UiRect& visible, int32_t& first,
                                  int32_t& last) const {
  auto at = [&](int32_t x, int32_t y) {
    const int32_t column = std::clamp(std::max(x, 0) / (cellW_ + gapX_), 0, columns_ - 1);
    const int32_t row = std::max(y, 0) / (cellH_ + gapY_);
    return int64_t{column} + int64_t{row} * columns_;
  };
  first = static_cast<int32_t>(std::min<int64_t>(at(visible.x1, visible.y1), count()));
  last = static_cast<int32_t>(std::min<int64_t>(at(visible.x2, visible.y2), count() - 1));
}

}  // namespace pigmora
