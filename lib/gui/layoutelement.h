// One cell of a grid: it draws itself into the rectangle the layout gives it, carries decorations
// and takes clicks and context-menu results. A layout owns its cells; a cell owns its
// decorations.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "lib/gui/decorations.h"
#include "lib/host_array.h"

namespace pigmora {

class ViewAreaBase;

class LayoutElement {
 public:
  LayoutElement() = default;
  virtual ~LayoutElement();
  LayoutElement(const LayoutElement&) = delete;
  LayoutElement& operator=(const LayoutElement&) = delete;

  // Draws the cell into (x0, y0) - (x1, y1), inclusive; `quick` leaves out what is slow to draw.
  virtual void draw(ViewAreaBase& area, int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool quick);
  // Told when the selected flag changed; runs the function given to setCallback.
  virtual void callback();
  // Told when the mouse comes onto the cell or leaves it.
  virtual void hoverChanged(bool hovered) { (void)hovered; }
  // Told before and after the layout draws the cell and its frame.
  virtual void beforeDraw() {}
  virtual void afterDraw() {}
  // 1: a click selects the cell before the cell takes it; 0: the cell takes the click first.
  virtual int32_t handlesHit() { return 1; }
  // A click at (localX, localY) inside the cell, (x, y) in the area. The drawn decorations are
  // asked first, then the menu decorations; the first that takes it ends it.
  virtual bool click(ViewAreaBase& area, const host::InputEvent& event, int32_t qualifiers,
                     int32_t localX, int32_t localY, int32_t x, int32_t y);
  virtual void setSize(int32_t width, int32_t height);
  virtual void update() {}
  virtual void addMenuItems(host::PopupMenu& menu);
  virtual bool handleMenuResult(int32_t id);

  // What a user reads on the cell, for listings of the area.
  virtual std::string label() const { return {}; }

  // Decorations: those asked for context-menu items, and those drawn and clicked. The cell takes
  // ownership; false (and the decoration freed) when the list cannot grow.
  bool addMenuDecoration(DecorationElement* decoration);
  bool addDecoration(DecorationElement* decoration);
  size_t decorationCount() const { return decorations_.size(); }
  DecorationElement* decoration(size_t i) { return decorations_[i]; }

  using Callback = void (*)(LayoutElement& element, void* data);
  void setCallback(Callback fn, void* data) {
    callback_ = fn;
    callbackData_ = data;
  }

  host::Link& link() { return link_; }
  int32_t id() const { return id_; }
  void setId(int32_t id) { id_ = id; }
  bool selected() const { return selected_; }
  void setSelected(bool on);
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 protected:
  // Draws the drawn decorations over the cell.
  void drawDecorations(ViewAreaBase& area, host::Bitmap* preview, const host::UiRect& cell);

  HostArray<DecorationElement*> menuDecorations_;
  HostArray<DecorationElement*> decorations_;
  host::Link link_;
  int32_t id_ = 0;
  bool selected_ = false;
  int32_t width_ = 100, height_ = 100;

 private:
  Callback callback_ = nullptr;
  void* callbackData_ = nullptr;
};

}  // namespace pigmora
