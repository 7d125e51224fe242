// A scrolling user area that shows a grid of cells: it draws the cells that are visible in its
// dialog's scroll group, hands clicks to the grid, follows the mouse for hover and takes file
// drops where a subclass says it can.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"
#include "lib/gui/layout.h"

namespace pigmora {

class ViewAreaBase : public host::GeUserArea {
 public:
  ViewAreaBase() = default;
  ~ViewAreaBase() override;

  // The dialog the area lives in and the scroll group that shows it.
  void bind(host::GeDialog* owner, int32_t scrollGroupId) {
    owner_ = owner;
    scrollGroupId_ = scrollGroupId;
  }

  bool init() override;
  bool getMinSize(int32_t& width, int32_t& height) override;
  void sized(int32_t width, int32_t height) override;
  void draw(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  bool inputEvent(const host::InputEvent& event) override;
  bool cursorInfo(host::CursorInfo& info) override;
  bool dragReceive(host::DragReceive& drag) override;
  bool listItems(std::vector<host::UiItem>& items) override;

  // Empties the grid.
  virtual void clear();
  virtual void refresh() {}
  // A file dropped at (x, y).
  virtual void dropFile(const std::string& file, int32_t x, int32_t y) {
    (void)file;
    (void)x;
    (void)y;
  }
  virtual bool canDropAt(int32_t x, int32_t y) {
    (void)x;
    (void)y;
    return false;
  }

  // Cells of n x n pixels; the area lays itself out again and redraws.
  void setCellSize(int32_t n);
  LayoutBase* layout() const { return layout_; }
  host::GeDialog* owner() const { return owner_; }
  int32_t scrollGroupId() const { return scrollGroupId_; }
  // The part of the area its scroll group shows, or the whole area.
  host::UiRect visibleRect() const;

 protected:
  // Creates the default grid when there is none; false when it cannot be had.
  bool ensureLayout();

  LayoutBase* layout_ = nullptr;  // owned, in host memory
  host::GeDialog* owner_ = nullptr;
  int32_t scrollGroupId_ = 0;
  bool inClick_ = false;
  double lastX_ = -1.0, lastY_ = -1.0;
  LayoutElement* lastHovered_ = nullptr;
};

}  // namespace pigmora
