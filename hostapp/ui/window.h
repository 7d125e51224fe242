// An open (or closed, but not yet forgotten) dialog window of the headless host, and what the
// scripted user can do with it: find gadgets by id or text, click, type, tick, pick tabs, scroll,
// move, click and drag the mouse over user areas, drop files, render the window to a picture.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/ui.h"
#include "hostapp/ui/area_slot.h"
#include "hostapp/ui/canvas.h"
#include "hostapp/ui/dialog_scope.h"
#include "hostapp/ui/widget.h"

namespace hostapp {

class UiHost;

class Window {
 public:
  Window(UiHost& host, host::GeDialog& dialog, int32_t type, int32_t pluginId, int32_t x, int32_t y,
         int32_t width, int32_t height);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  UiHost& host() const { return host_; }
  host::GeDialog* dialog() const { return root_ ? root_->dialog() : nullptr; }
  int32_t type() const { return type_; }
  int32_t pluginId() const { return pluginId_; }
  const std::string& title() const { return title_; }
  bool isOpen() const { return open_; }
  // Screen position of the window's top-left corner and its size, title bar included.
  int32_t x() const { return x_; }
  int32_t y() const { return y_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

  // Gadgets of every dialog of the window.
  Widget* find(int32_t id) const;
  // The first gadget or group, in layout order, whose label, title or text is `text`.
  Widget* findByText(const std::string& text) const;
  // The scripted user. Each answers false when the gadget is missing, disabled or hidden in
  // another tab, or the window is closed; the dialog gets its command otherwise.
  bool click(int32_t id);
  bool click(const std::string& text);
  bool setText(int32_t id, const std::string& text);
  bool setChecked(int32_t id, bool on);
  bool setNumber(int32_t id, double value);
  bool setFilename(int32_t id, const std::string& path);
  bool selectTab(int32_t tabGroupId, int32_t index);
  bool selectTab(const std::string& title);
  bool scrollTo(int32_t scrollGroupId, int32_t x, int32_t y);
  // Scrolls the groups around user area `areaId` as little as needed for the rectangle (area
  // coordinates) to be seen, as a user scrolls to what they want to click.
  bool reveal(int32_t areaId, const host::UiRect& rect);
  // What user area `areaId` lists that a user can point at (cells, menu lines).
  std::vector<host::UiItem> items(int32_t areaId);
  // The window's own dialog's gadgets of one kind, in layout order.
  std::vector<const Widget*> gadgets(host::GadgetKind kind) const;
  // Closes the window as the user would; the dialog may refuse (askClose).
  bool closeByUser();

  // The mouse over user area `areaId`, in area coordinates.
  host::GeUserArea* area(int32_t areaId) const;
  bool mouseMove(int32_t areaId, int32_t x, int32_t y, host::CursorInfo* answer = nullptr);
  bool mouseClick(int32_t areaId, int32_t x, int32_t y, int32_t button = host::kMouseLeft,
                  int32_t qualifiers = 0);
  // A click, then a second press flagged as a double click.
  bool mouseDoubleClick(int32_t areaId, int32_t x, int32_t y, int32_t qualifiers = 0);
  // Presses at the first point, moves through the others with the button held and releases at
  // the last; the area sees the moves when it polls the mouse.
  bool mouseDrag(int32_t areaId, const std::vector<std::pair<int32_t, int32_t>>& path,
                 int32_t button = host::kMouseLeft, int32_t qualifiers = 0);
  // A press whose moves and release come live from the window on the screen (UiHost::liveMouse);
  // flagged as the second press of a double click when `doubleClick`.
  bool mousePress(int32_t areaId, int32_t x, int32_t y, int32_t button, int32_t qualifiers,
                  bool doubleClick);
  bool keyPress(int32_t areaId, int32_t key, int32_t qualifiers = 0);
  // Drags something over the area to (x, y) and lets go there. Returns the cursor the area
  // showed while it hovered (kCursorDropCopy or kCursorForbidden); where it showed the forbidden
  // cursor the user takes the drag away again and the area gets no release.
  int32_t drop(int32_t areaId, int32_t x, int32_t y, int32_t type, const std::string& data);
  int32_t dropFile(int32_t areaId, int32_t x, int32_t y, const std::string& path) {
    return drop(areaId, x, y, host::kDragFilename, path);
  }
  // The area's picture, drawn up to date; null when there is no such area.
  const Canvas* areaPicture(int32_t areaId);

  // The whole window with its title bar.
  Canvas render();
  // Changes whenever what render() draws may have changed: a gadget's value, text, state or
  // place, a tab, a scroll, the title, the size, or a drawing into a user area.
  uint64_t pictureStamp();
  bool savePicture(const std::string& path, std::string& error);
  // The widget tree as indented text: kind, id, text or value, rectangle.
  std::string describe() const;

  // Host side.
  bool build();  // createLayout, layout, initValues; false when the dialog refused
  void close();
  DialogScope* addScope(host::GeDialog& dialog, Widget& root);
  AreaSlot* addArea(DialogScope& scope, Widget& widget, host::GeUserArea& area);
  void setTitle(const std::string& title) { title_ = title; }
  void invalidateLayout() { layoutDirty_ = true; }
  // Lays out when needed, tells areas their sizes and draws those that asked for it.
  void settle();
  const std::vector<std::unique_ptr<DialogScope>>& scopes() const { return scopes_; }
  const std::vector<std::unique_ptr<AreaSlot>>& areas() const { return areas_; }
  // Content origin on the screen (below the title bar).
  int32_t contentScreenX() const { return x_; }
  int32_t contentScreenY() const;
  void advance(int32_t ms);

 private:
  AreaSlot* slot(int32_t areaId) const;
  bool usable(const Widget* w) const;
  bool clickOn(Widget& w);
  bool commandOf(Widget& w);
  bool deliver(AreaSlot& slot, const host::InputEvent& event, std::deque<host::MouseState> path);

  UiHost& host_;
  int32_t type_, pluginId_;
  int32_t x_, y_, width_, height_;
  int32_t defaultWidth_, defaultHeight_;
  std::string title_;
  bool open_ = false;
  bool layoutDirty_ = true;
  std::unique_ptr<Widget> rootWidget_;
  DialogScope* root_ = nullptr;
  std::vector<std::unique_ptr<DialogScope>> scopes_;
  std::vector<std::unique_ptr<AreaSlot>> areas_;
};

}  // namespace hostapp
