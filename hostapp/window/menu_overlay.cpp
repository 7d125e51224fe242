#include "hostapp/window/menu_overlay.h"

#include <algorithm>

#include "hostapp/ui/font.h"
#include "hostapp/window/window_theme.h"

namespace hostapp {

namespace {

using theme::kAccent;
using theme::kEdge;
using theme::kText;
constexpr Rgba kBack = theme::kMenu;

bool checked(const std::string& text) {
  const std::string mark = host::kCheckMarkSuffix;
  return text.size() >= mark.size() &&
         text.compare(text.size() - mark.size(), mark.size(), mark) == 0;
}

std::string shown(const std::string& text) {
  return checked(text) ? text.substr(0, text.size() - std::string(host::kCheckMarkSuffix).size())
                       : text;
}

int32_t heightOf(const MenuOverlay::Entry& e) {
  return e.isSeparator() ? MenuOverlay::kSeparator : MenuOverlay::kLine;
}

}  // namespace

void MenuOverlay::open(const std::vector<Entry>& entries, int32_t x, int32_t y, Font& font,
                       int32_t windowW, int32_t windowH) {
  font_ = &font;
  windowW_ = windowW;
  windowH_ = windowH;
  levels_.clear();
  push(entries, x, y);
}

void MenuOverlay::push(const std::vector<Entry>& entries, int32_t x, int32_t y) {
  Level level;
  level.entries = &entries;
  level.width = 140;
  level.height = 2;
  for (const Entry& e : entries) {
    level.width = std::max(level.width, font_->width(shown(e.text)) + 48);
    level.height += heightOf(e);
  }
  // Kept inside the window where it fits.
  level.x = std::max(std::min(x, windowW_ - level.width), 0);
  level.y = std::max(std::min(y, windowH_ - level.height), 0);
  levels_.push_back(std::move(level));
}

int32_t MenuOverlay::lineAt(const Level& level, int32_t y) const {
  int32_t top = level.y + 1;
  for (size_t i = 0; i < level.entries->size(); ++i) {
    const int32_t h = heightOf((*level.entries)[i]);
    if (y >= top && y < top + h) return static_cast<int32_t>(i);
    top += h;
  }
  return -1;
}

bool MenuOverlay::contains(int32_t x, int32_t y) const {
  return std::any_of(levels_.begin(), levels_.end(), [&](const Level& l) {
    return x >= l.x && x < l.x + l.width && y >= l.y && y < l.y + l.height;
  });
}

const MenuOverlay::Entry* MenuOverlay::entryAt(int32_t x, int32_t y) const {
  // Later levels lie over earlier ones.
  for (auto it = levels_.rbegin(); it != levels_.rend(); ++it) {
    if (x < it->x || x >= it->x + it->width || y < it->y || y >= it->y + it->height) continue;
    const int32_t line = lineAt(*it, y);
    if (line < 0) return nullptr;
    const Entry& e = (*it->entries)[static_cast<size_t>(line)];
    return e.isSeparator() ? nullptr : &e;
  }
  return nullptr;
}

void MenuOverlay::hover(int32_t x, int32_t y) {
  for (size_t k = levels_.size(); k-- > 0;) {
    Level& l = levels_[k];
    if (x < l.x || x >= l.x + l.width || y < l.y || y >= l.y + l.height) continue;
    const int32_t line = lineAt(l, y);
    if (line == l.highlight) return;
    // Submenus opened from another line close.
    levels_.resize(k + 1);
    Level& level = levels_[k];
    level.highlight = line;
    if (line < 0) return;
    const Entry& e = (*level.entries)[static_cast<size_t>(line)];
    if (e.isSubmenu()) {
      int32_t top = level.y + 1;
      for (int32_t i = 0; i < line; ++i) top += heightOf((*level.entries)[static_cast<size_t>(i)]);
      push(e.children, level.x + level.width - 4, top - 1);
    }
    return;
  }
}

void MenuOverlay::draw() {
  if (!font_) return;
  for (Level& l : levels_) {
    l.picture.reset(l.width, l.height, kBack);
    l.picture.frame(0, 0, l.width - 1, l.height - 1, kEdge);
    int32_t top = 1;
    for (size_t i = 0; i < l.entries->size(); ++i) {
      const Entry& e = (*l.entries)[i];
      const int32_t h = heightOf(e);
      if (e.isSeparator()) {
        l.picture.line(6, top + h / 2, l.width - 7, top + h / 2, kEdge);
      } else {
        if (static_cast<int32_t>(i) == l.highlight)
          l.picture.fill(1, top, l.width - 2, top + h - 1, kAccent);
        const int32_t ty = top + (h - font_->lineHeight()) / 2;
        if (checked(e.text)) font_->draw(l.picture, "\xE2\x9C\x93", 6, ty, kText);
        font_->draw(l.picture, shown(e.text), 22, ty, kText);
        if (e.isSubmenu()) font_->draw(l.picture, "\xE2\x96\xB8", l.width - 16, ty, kText);
      }
      top += h;
    }
  }
}

}  // namespace hostapp
