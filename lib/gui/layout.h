// Layouts of equal cells in a scrolling area. LayoutBase keeps the cells, their size, hover and
// selection and draws what is visible; LayoutAutoGrid places them in as many columns as the
// area's width holds.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "lib/gui/layoutelement.h"
#include "lib/host_array.h"

namespace pigmora {

class ViewAreaBase;

class LayoutBase {
 public:
  LayoutBase() = default;
  virtual ~LayoutBase();
  LayoutBase(const LayoutBase&) = delete;
  LayoutBase& operator=(const LayoutBase&) = delete;

  // Draws the cells that meet the visible rectangle (area coordinates), each with its frame.
  virtual void draw(ViewAreaBase& area, const host::UiRect& visible);
  virtual void setAreaSize(int32_t width, int32_t height);
  virtual void minimumSize(int32_t& width, int32_t& height) const = 0;
  // The mouse is at (x, y); true when another cell (or none) is under it than before.
  virtual bool hover(int32_t x, int32_t y);
  virtual void clearHover();
  // A left click at (x, y): selection by the qualifiers, then the click goes to the cell. The cell
  // hit, or null.
  virtual LayoutElement* click(ViewAreaBase& area, const host::InputEvent& event, int32_t x,
                               int32_t y);
  virtual LayoutElement* elementAt(int32_t x, int32_t y) const;
  virtual void setCellSize(int32_t width, int32_t height);
  // Frees every cell.
  virtual void clear();
  // Takes ownership; false (and the cell freed) when the list cannot grow.
  virtual bool addElement(LayoutElement* element);
  // Takes the cell out and frees it.
  virtual void removeElement(LayoutElement* element);
  // Recomputes the placement after the cells or the area changed.
  virtual void update() = 0;
  virtual void setQuickDraw(bool on) { quickDraw_ = on; }
  virtual void cellSize(int32_t& width, int32_t& height) const {
    width = cellW_;
    height = cellH_;
  }

  // Placement: the cell rectangle of an index (inclusive corners), and the index at a point.
  virtual host::UiRect cellRect(int32_t index) const = 0;
  virtual int32_t indexAt(int32_t x, int32_t y) const = 0;
  // The indices worth drawing for a visible rectangle.
  virtual void visibleRange(const host::UiRect& visible, int32_t& first, int32_t& last) const = 0;

  int32_t count() const { return static_cast<int32_t>(elements_.size()); }
  LayoutElement* element(int32_t index) const {
    return index >= 0 && index < count() ? const_cast<LayoutBase*>(this)->elements_[index]
                                         : nullptr;
  }
  int32_t indexOf(const LayoutElement* element) const;
  int32_t hovered() const { return hovered_; }
  // How many cells the last draw drew.
  int32_t lastDrawCount() const { return lastDrawCount_; }

 protected:
  void drawFrame(ViewAreaBase& area, const host::UiRect& r, bool hovered, bool selected) const;

  HostArray<LayoutElement*> elements_;
  int32_t cellW_ = 100, cellH_ = 100;
  bool quickDraw_ = false;
  int32_t hovered_ = -1;
  int32_t lastDrawCount_ = 0;
};

class LayoutAutoGrid : public LayoutBase {
 public:
  void minimumSize(int32_t& width, int32_t& height) const override;
  void setAreaSize(int32_t width, int32_t height) override;
  void update() override;
  host::UiRect cellRect(int32_t index) const override;
  int32_t indexAt(int32_t x, int32_t y) const override;
  void visibleRange(const host::UiRect& visible, int32_t& first, int32_t& last) const override;

  void setGap(int32_t x, int32_t y) {
    gapX_ = x;
    gapY_ = y;
    update();
  }
  int32_t gapX() const { return gapX_; }
  int32_t gapY() const { return gapY_; }
  int32_t columns() const { return columns_; }
  int32_t areaWidth() const { return areaWidth_; }

 private:
  int32_t gapX_ = 10, gapY_ = 10;
  int32_t columns_ = 1;
  int32_t areaWidth_ = 0;
};

}  // namespace pigmora
