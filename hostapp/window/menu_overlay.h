// A popup menu drawn over the paint window: the menu and the submenus opened from it, laid out
// beside one another, highlighted under the mouse and hit by it.
#pragma once

#include <cstdint>
#include <vector>

#include "host/ui_types.h"
#include "hostapp/ui/canvas.h"

namespace hostapp {

class Font;

class MenuOverlay {
 public:
  using Entry = host::PopupMenu::Entry;
  static constexpr int32_t kLine = 22, kSeparator = 9;

  struct Level {
    const std::vector<Entry>* entries = nullptr;
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t highlight = -1;
    Canvas picture;
  };

  // Opens the menu with its top-left at (x, y), kept inside a window of the given size.
  void open(const std::vector<Entry>& entries, int32_t x, int32_t y, Font& font, int32_t windowW,
            int32_t windowH);
  void close() { levels_.clear(); }
  bool isOpen() const { return !levels_.empty(); }
  // The entry under the mouse, or null (outside every level, or on a separator).
  const Entry* entryAt(int32_t x, int32_t y) const;
  bool contains(int32_t x, int32_t y) const;
  // The mouse moved: the line under it is highlighted, and a submenu under it opens.
  void hover(int32_t x, int32_t y);
  // Draws every level into its picture.
  void draw();
  const std::vector<Level>& levels() const { return levels_; }

 private:
  void push(const std::vector<Entry>& entries, int32_t x, int32_t y);
  // The line of a level under a point, or -1.
  int32_t lineAt(const Level& level, int32_t y) const;
  Font* font_ = nullptr;
  int32_t windowW_ = 0, windowH_ = 0;
  std::vector<Level> levels_;
};

}  // namespace hostapp
