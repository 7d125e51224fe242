// User interface family: the user-area base class. A plug-in area draws itself and handles the
// mouse; the host calls its operations once a dialog has attached it to a user-area gadget.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/paint.h"
#include "host/settings.h"
#include "host/ui_ports.h"
#include "host/ui_types.h"

namespace host {

class GeUserArea {
 public:
  GeUserArea() = default;
  GeUserArea(const GeUserArea&) = delete;
  GeUserArea& operator=(const GeUserArea&) = delete;
  virtual ~GeUserArea() {
    if (port_) port_->released();
  }

  // The host's operations, in its slot order.
  // Attached to its gadget.
  virtual bool init() { return true; }
  // After the dialog's initValues.
  virtual bool initValues() { return true; }
  // The smallest size the area wants; false leaves the gadget's own size.
  virtual bool getMinSize(int32_t& width, int32_t& height) {
    (void)width;
    (void)height;
    return false;
  }
  // The area got a new size.
  virtual void sized(int32_t width, int32_t height) {
    (void)width;
    (void)height;
  }
  // Draws the region (x1, y1) to (x2, y2), inclusive.
  virtual void draw(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    (void)x1;
    (void)y1;
    (void)x2;
    (void)y2;
  }
  // Mouse and keyboard input; false leaves it to the host.
  virtual bool inputEvent(const InputEvent& event) {
    (void)event;
    return false;
  }
  // Host change messages and special events, as dialogs get them.
  virtual bool coreMessage(int32_t id, const Settings& msg) {
    (void)id;
    (void)msg;
    return true;
  }
  virtual void timer(const Settings& msg) { (void)msg; }
  // The mouse moved over the area without a button held.
  virtual bool cursorInfo(CursorInfo& info) {
    (void)info;
    return false;
  }
  // Something is dragged over the area or dropped on it.
  virtual bool dragReceive(DragReceive& drag) {
    (void)drag;
    return false;
  }
  // What the area shows that a user can point at, in drawing order; false when it shows no such
  // things.
  virtual bool listItems(std::vector<UiItem>& items) {
    (void)items;
    return false;
  }

  // Size and redraw.
  int32_t width() const { return port_ ? port_->width() : 0; }
  int32_t height() const { return port_ ? port_->height() : 0; }
  void redraw() {
    if (port_) port_->redraw();
  }
  void layoutChanged() {
    if (port_) port_->layoutChanged();
  }

  // Drawing.
  Vector colorOf(int32_t colorId) const { return port_ ? port_->colorOf(colorId) : Vector(); }
  void setPen(const Vector& rgb) {
    if (port_) port_->setPen(rgb);
  }
  void setPen(int32_t colorId) { setPen(colorOf(colorId)); }
  void fillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (port_) port_->fillRect(x1, y1, x2, y2);
  }
  void drawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (port_) port_->line(x1, y1, x2, y2);
  }
  void drawBorder(int32_t style, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (port_) port_->border(style, x1, y1, x2, y2);
  }
  void setTextColor(const Vector& fg, const Vector& bg) {
    if (port_) port_->setTextColor(fg, bg, false);
  }
  // Text colours by host colour id; kColorTransparent as background draws only the glyphs.
  void setTextColor(int32_t fgId, int32_t bgId) {
    if (!port_) return;
    port_->setTextColor(colorOf(fgId), bgId == kColorTransparent ? Vector() : colorOf(bgId),
                        bgId == kColorTransparent);
  }
  void drawText(const std::string& text, int32_t x, int32_t y, int32_t align = kTextLeft) {
    if (port_) port_->text(text, x, y, align);
  }
  int32_t textWidth(const std::string& text) const { return port_ ? port_->textWidth(text) : 0; }
  int32_t textHeight() const { return port_ ? port_->textHeight() : 0; }
  // Draws a whole bitmap scaled into the rectangle (x, y, w, h).
  void drawBitmap(const Bitmap& bmp, int32_t x, int32_t y, int32_t w, int32_t h,
                  int32_t mode = kBlitCopy) {
    if (port_) port_->bitmap(bmp, x, y, w, h, 0, 0, bmp.width(), bmp.height(), mode);
  }
  void drawBitmap(const Bitmap& bmp, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                  int32_t sy, int32_t sw, int32_t sh, int32_t mode) {
    if (port_) port_->bitmap(bmp, x, y, w, h, sx, sy, sw, sh, mode);
  }

  // Mouse, drags, timers.
  bool localToScreen(int32_t& x, int32_t& y) const { return port_ && port_->localToScreen(x, y); }
  bool pollMouse(MouseState& state) { return port_ && port_->pollMouse(state); }
  // Waits while a drag loop finds the mouse where it was.
  void idle(int32_t ms) {
    if (port_) port_->idle(ms);
  }
  bool startDrag(int32_t type, const std::string& data) {
    return port_ && port_->startDrag(type, data);
  }
  bool setTimer(int32_t ms) { return port_ && port_->setTimer(ms); }
  // The dialog the area is attached to, or null.
  GeDialog* dialog() const { return port_ ? port_->dialog() : nullptr; }

  // Host side: the host binds the area to its gadget when a dialog attaches it, and unbinds it.
  void bindPort(AreaPort* port) { port_ = port; }
  AreaPort* port() const { return port_; }

 private:
  AreaPort* port_ = nullptr;
};

}  // namespace host
