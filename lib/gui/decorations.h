// Decorations: what a grid cell draws over itself, takes clicks for, and adds to its context
// menu. A cell owns its decorations.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace pigmora {

class ViewAreaBase;

// Kinds of decoration.
constexpr int32_t kDecorationFileOnDisk = 1;
constexpr int32_t kDecorationFileOnServer = 2;
constexpr int32_t kDecorationUV = 4;

// Where a click landed: the position inside the cell and the cell's top-left corner in the area.
struct CellClick {
  const host::InputEvent* event = nullptr;
  int32_t localX = 0, localY = 0;
  int32_t originX = 0, originY = 0;
};

class DecorationElement {
 public:
  explicit DecorationElement(int32_t kind = 0) : kind_(kind) {}
  virtual ~DecorationElement() = default;
  DecorationElement(const DecorationElement&) = delete;
  DecorationElement& operator=(const DecorationElement&) = delete;

  // Draws over the cell rectangle (inclusive corners); `preview` is the cell's picture, or null.
  virtual void draw(ViewAreaBase& area, host::Bitmap* preview, const host::UiRect& cell) {
    (void)area;
    (void)preview;
    (void)cell;
  }
  // Answers whether it took the click.
  virtual bool click(ViewAreaBase& area, const CellClick& at) {
    (void)area;
    (void)at;
    return false;
  }
  virtual void addMenuItems(host::PopupMenu& menu) { (void)menu; }
  virtual bool handleMenuResult(int32_t id) {
    (void)id;
    return false;
  }
  virtual void setSize(int32_t width, int32_t height) {
    (void)width;
    (void)height;
  }

  int32_t kind() const { return kind_; }
  double value() const { return value_; }
  void setValue(double v) { value_ = v; }

 private:
  int32_t kind_;
  double value_ = 0.0;
};

// Marks a cell whose file lies on this machine; it shows nothing.
class FileOnDiskDecoration : public DecorationElement {
 public:
  FileOnDiskDecoration() : DecorationElement(kDecorationFileOnDisk) {}
};

// Marks a cell whose file lies on a server: a small yellow square near the bottom-right corner.
class FileOnServerDecoration : public DecorationElement {
 public:
  FileOnServerDecoration() : DecorationElement(kDecorationFileOnServer) {}
  void draw(ViewAreaBase& area, host::Bitmap* preview, const host::UiRect& cell) override;
};

}  // namespace pigmora
