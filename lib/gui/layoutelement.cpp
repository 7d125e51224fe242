#include "lib/gui/layoutelement.h"

#include "host/binding.h"
#include "lib/gui/viewarea.h"

namespace pigmora {

namespace {
void freeAll(HostArray<DecorationElement*>& list) {
  for (DecorationElement* d : list) host::destroy(d);
  list.clear();
}

bool append(HostArray<DecorationElement*>& list, DecorationElement* d) {
  if (!d) return false;
  if (list.push(d)) return true;
  host::destroy(d);
  return false;
}
}  // namespace

LayoutElement::~LayoutElement() {
  freeAll(menuDecorations_);
  freeAll(decorations_);
}

bool LayoutElement::addMenuDecoration(DecorationElement* decoration) {
  return append(menuDecorations_, decoration);
}

bool LayoutElement::addDecoration(DecorationElement* decoration) {
  return append(decorations_, decoration);
}

void LayoutElement::draw(ViewAreaBase& area, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                         bool quick) {
  if (quick) return;
  drawDecorations(area, nullptr, {x0, y0, x1, y1});
}

void LayoutElement::drawDecorations(ViewAreaBase& area, host::Bitmap* preview,
                                    const host::UiRect& cell) {
  for (DecorationElement* d : decorations_) d->draw(area, preview, cell);
}

void LayoutElement::callback() {
  if (callback_) callback_(*this, callbackData_);
}

void LayoutElement::setSelected(bool on) {
  if (selected_ == on) return;
  selected_ = on;
  callback();
}

bool LayoutElement::click(ViewAreaBase& area, const host::InputEvent& event, int32_t qualifiers,
                          int32_t localX, int32_t localY, int32_t x, int32_t y) {
  host::InputEvent e = event;
  e.qualifiers = qualifiers;
  const CellClick at{&e, localX, localY, x - localX, y - localY};
  for (DecorationElement* d : decorations_)
    if (d->click(area, at)) return true;
  for (DecorationElement* d : menuDecorations_)
    if (d->click(area, at)) return true;
  return false;
}

void LayoutElement::setSize(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  for (DecorationElement* d : decorations_) d->setSize(width, height);
  for (DecorationElement* d : menuDecorations_) d->setSize(width, height);
}

void LayoutElement::addMenuItems(host::PopupMenu& menu) {
  for (DecorationElement* d : menuDecorations_) d->addMenuItems(menu);
}

bool LayoutElement::handleMenuResult(int32_t id) {
  for (DecorationElement* d : menuDecorations_)
    if (d->handleMenuResult(id)) return true;
  return false;
}

}  // namespace pigmora
