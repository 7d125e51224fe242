// User interface family: what a dialog or a user area reaches of its window once the host has
// opened or attached it. The base classes forward to these; the host implements them.
#pragma once

#include <cstdint>
#include <string>

#include "host/settings.h"
#include "host/ui_types.h"

namespace host {

class Bitmap;
class GeDialog;
class GeUserArea;
class SubDialog;

// One dialog's part of a window. Owned by the host; valid until the host unbinds the dialog (when
// the dialog is destroyed, reopened or the host goes away).
class DialogPort {
 public:
  virtual ~DialogPort() = default;

  // Layout. Every call adds to the group opened last; false when the call makes no sense there
  // (ending the outermost group, a tab group outside a layout ...).
  virtual bool setTitle(const std::string& title) = 0;
  virtual bool groupBegin(int32_t id, int32_t flags, int32_t columns, int32_t rows,
                          const std::string& title, int32_t groupFlags) = 0;
  // Each group opened directly inside a tab group is one tab, titled by the group's title.
  virtual bool tabGroupBegin(int32_t id, int32_t flags) = 0;
  virtual bool scrollGroupBegin(int32_t id, int32_t flags, int32_t scrollFlags, int32_t width,
                                int32_t height) = 0;
  virtual bool groupEnd() = 0;
  virtual bool groupBorder(int32_t style) = 0;
  virtual bool groupBorderSpace(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  virtual bool groupSpace(int32_t x, int32_t y) = 0;
  // Width and height are pixels; 0 takes the gadget's natural size.
  virtual bool addGadget(GadgetKind kind, int32_t id, int32_t flags, int32_t width, int32_t height,
                         const std::string& text) = 0;
  // Binds a user area object to a user-area gadget of this dialog and initialises it.
  virtual bool attachUserArea(GeUserArea& area, int32_t id) = 0;
  // Builds a sub-dialog's layout into a sub-dialog gadget of this dialog.
  virtual bool attachSubDialog(SubDialog& dialog, int32_t id) = 0;

  // Values by gadget id: strings for texts, edit fields and file names, booleans for check
  // boxes, reals for sliders and number fields. False when no gadget has the id.
  virtual bool setValue(int32_t id, const Value& value) = 0;
  virtual bool getValue(int32_t id, Value& out) const = 0;
  virtual bool setRange(int32_t id, double min, double max, double step, int32_t format) = 0;
  virtual bool enable(int32_t id, bool on) = 0;

  virtual bool close() = 0;
  virtual bool isOpen() const = 0;
  // Converts a point of the dialog's own coordinates to screen coordinates.
  virtual bool localToScreen(int32_t& x, int32_t& y) const = 0;
  // The part of a scroll group's content that is visible, in content coordinates.
  virtual bool visibleArea(int32_t scrollId, UiRect& rect) const = 0;
  // Calls the dialog's timer every `ms` milliseconds; 0 stops it.
  virtual bool setTimer(int32_t ms) = 0;
  // Gadget sizes changed (a user area's minimum size, a text): lay the window out again.
  virtual void layoutChanged() = 0;
  // The dialog object is being destroyed.
  virtual void released() = 0;
};

// A user area's part of a window. Owned by the host; valid until the host unbinds the area.
class AreaPort {
 public:
  virtual ~AreaPort() = default;

  virtual int32_t width() const = 0;
  virtual int32_t height() const = 0;
  // Asks for a draw of the whole area; the host draws before it next shows the window.
  virtual void redraw() = 0;
  // The area's minimum size changed.
  virtual void layoutChanged() = 0;

  // Drawing, in area coordinates with inclusive corners. Outside a draw the calls paint onto the
  // area's current picture as well.
  virtual Vector colorOf(int32_t colorId) const = 0;
  virtual void setPen(const Vector& rgb) = 0;
  virtual void fillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  virtual void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  virtual void border(int32_t style, int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  virtual void setTextColor(const Vector& fg, const Vector& bg, bool transparentBackground) = 0;
  // `y` is the top of the text line; `align` says what `x` is (kTextLeft ...).
  virtual void text(const std::string& text, int32_t x, int32_t y, int32_t align) = 0;
  virtual int32_t textWidth(const std::string& text) const = 0;
  virtual int32_t textHeight() const = 0;
  // Draws the source rectangle (sx, sy, sw, sh) of a bitmap scaled into (x, y, w, h).
  virtual void bitmap(const Bitmap& bmp, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                      int32_t sy, int32_t sw, int32_t sh, int32_t mode) = 0;

  virtual bool localToScreen(int32_t& x, int32_t& y) const = 0;
  // Polls the mouse during a drag started by an input event; `held` turns false on release.
  virtual bool pollMouse(MouseState& state) = 0;
  // Lets `ms` milliseconds pass while a drag loop waits for the mouse to move.
  virtual void idle(int32_t ms) = 0;
  // Starts dragging something out of the area.
  virtual bool startDrag(int32_t type, const std::string& data) = 0;
  virtual bool setTimer(int32_t ms) = 0;
  // The dialog the area is attached to. Owned by the plug-in.
  virtual GeDialog* dialog() const = 0;
  // The area object is being destroyed.
  virtual void released() = 0;
};

}  // namespace host
