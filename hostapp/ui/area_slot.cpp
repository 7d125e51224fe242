#include "hostapp/ui/area_slot.h"

#include <algorithm>

#include "hostapp/ui/dialog_scope.h"
#include "hostapp/ui/palette.h"
#include "hostapp/ui/ui_host.h"
#include "hostapp/ui/window.h"

namespace hostapp {

AreaSlot::AreaSlot(Window& window, DialogScope& scope, Widget& widget, host::GeUserArea& area)
    : window_(window), scope_(scope), widget_(widget), area_(&area) {
  // An area attached elsewhere before leaves its old gadget.
  if (area.port()) area.port()->released();
  area.bindPort(this);
  widget_.area = this;
}

AreaSlot::~AreaSlot() {
  if (area_ && area_->port() == this) area_->bindPort(nullptr);
  if (widget_.area == this) widget_.area = nullptr;
}

int32_t AreaSlot::width() const {
  return std::max(0, widget_.rect.width());
}

int32_t AreaSlot::height() const {
  return std::max(0, widget_.rect.height());
}

void AreaSlot::layoutChanged() {
  window_.invalidateLayout();
  dirty_ = true;
}

host::Vector AreaSlot::colorOf(int32_t colorId) const {
  return toVector(paletteColor(colorId));
}

void AreaSlot::setPen(const host::Vector& rgb) {
  pen_ = toRgba(rgb);
}

void AreaSlot::fillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  ++drawings_;
  canvas_.fill(x1, y1, x2, y2, pen_);
}

void AreaSlot::line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  ++drawings_;
  canvas_.line(x1, y1, x2, y2, pen_);
}

void AreaSlot::border(int32_t style, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  ++drawings_;
  const Rgba light{110, 110, 112, 255}, dark = paletteColor(host::kColorLine);
  switch (style) {
    case host::kBorderNone:
      break;
    case host::kBorderIn:
    case host::kBorderOut: {
      const Rgba topLeft = style == host::kBorderIn ? dark : light;
      const Rgba bottomRight = style == host::kBorderIn ? light : dark;
      canvas_.fill(x1, y1, x2, y1, topLeft);
      canvas_.fill(x1, y1, x1, y2, topLeft);
      canvas_.fill(x1, y2, x2, y2, bottomRight);
      canvas_.fill(x2, y1, x2, y2, bottomRight);
      break;
    }
    case host::kBorderHighlight:
      canvas_.frame(x1, y1, x2, y2, paletteColor(host::kColorHighlight));
      break;
    default:
      canvas_.frame(x1, y1, x2, y2, dark);
      break;
  }
}

void AreaSlot::setTextColor(const host::Vector& fg, const host::Vector& bg,
                            bool transparentBackground) {
  textFg_ = toRgba(fg);
  textBg_ = toRgba(bg);
  textTransparent_ = transparentBackground;
}

void AreaSlot::text(const std::string& text, int32_t x, int32_t y, int32_t align) {
  ++drawings_;
  Font& font = window_.host().font();
  const int32_t w = font.width(text);
  if (align == host::kTextCenter) x -= w / 2;
  if (align == host::kTextRight) x -= w;
  if (!textTransparent_) canvas_.fill(x, y, x + w - 1, y + font.lineHeight() - 1, textBg_);
  font.draw(canvas_, text, x, y, textFg_);
}

int32_t AreaSlot::textWidth(const std::string& text) const {
  return window_.host().font().width(text);
}

int32_t AreaSlot::textHeight() const {
  return window_.host().font().lineHeight();
}

void AreaSlot::bitmap(const host::Bitmap& bmp, int32_t x, int32_t y, int32_t w, int32_t h,
                      int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t mode) {
  ++drawings_;
  canvas_.draw(bmp, x, y, w, h, sx, sy, sw, sh, mode);
}

bool AreaSlot::localToScreen(int32_t& x, int32_t& y) const {
  x += window_.contentScreenX() + widget_.rect.x1;
  y += window_.contentScreenY() + widget_.rect.y1;
  return true;
}

bool AreaSlot::pollMouse(host::MouseState& state) {
  if (!path_.empty()) {
    last_ = path_.front();
    path_.pop_front();
  } else if (window_.host().liveMouse()) {
    window_.host().liveMouse()(last_);
  } else {
    last_.held = false;
  }
  state = last_;
  return true;
}

void AreaSlot::idle(int32_t ms) {
  // The scripted mouse is never late: its next move is already known, so waiting for it would only
  // slow the drag. The time passes for the area's timer all the same.
  if (ms <= 0) return;
  idled_ += ms;
  advance(ms);
}

bool AreaSlot::startDrag(int32_t type, const std::string& data) {
  window_.host().startDrag(type, data);
  return true;
}

bool AreaSlot::setTimer(int32_t ms) {
  timerMs_ = std::max(0, ms);
  timerElapsed_ = 0;
  return true;
}

host::GeDialog* AreaSlot::dialog() const {
  return scope_.dialog();
}

bool AreaSlot::minimumSize(int32_t& width, int32_t& height) {
  return area_ && area_->getMinSize(width, height);
}

void AreaSlot::update() {
  if (!area_) return;
  const int32_t w = width(), h = height();
  if (w != sizedW_ || h != sizedH_) {
    sizedW_ = w;
    sizedH_ = h;
    canvas_.reset(w, h, paletteColor(host::kColorBackground));
    ++drawings_;
    area_->sized(w, h);
    dirty_ = true;
  }
  if (dirty_) drawNow();
}

const Canvas& AreaSlot::picture() {
  window_.settle();
  return canvas_;
}

void AreaSlot::drawNow() {
  if (!area_ || drawing_) return;
  dirty_ = false;
  if (canvas_.empty()) return;
  drawing_ = true;
  area_->draw(0, 0, canvas_.width() - 1, canvas_.height() - 1);
  drawing_ = false;
}

bool AreaSlot::input(const host::InputEvent& event, std::deque<host::MouseState> path) {
  if (!area_) return false;
  path_ = std::move(path);
  last_ = {event.x, event.y, event.qualifiers,
           !path_.empty() || (event.device != host::kDeviceKeyboard && window_.host().liveMouse())};
  const bool handled = area_->inputEvent(event);
  path_.clear();
  return handled;
}

void AreaSlot::advance(int32_t ms) {
  if (!area_ || timerMs_ <= 0) return;
  for (timerElapsed_ += ms; timerElapsed_ >= timerMs_ && area_; timerElapsed_ -= timerMs_) {
    area_->timer(host::Settings(0));
  }
}

}  // namespace hostapp
