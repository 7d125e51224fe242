#include "hostapp/ui/layout.h"

#include <algorithm>
#include <cmath>

#include "hostapp/ui/area_slot.h"
#include "hostapp/ui/font.h"
#include "hostapp/ui/gadget_text.h"

namespace hostapp {

namespace {

constexpr int32_t kScrollMinimum = 40;  // a scroll group's size when it asks for none

struct Grid {
  int32_t columns = 1, rows = 0;
  bool columnMajor = false;
  int32_t column(int32_t i) const { return columnMajor ? i / rows : i % columns; }
  int32_t row(int32_t i) const { return columnMajor ? i % rows : i / columns; }
};

// Groups with a row count but no column count fill column after column.
Grid gridOf(const Widget& w) {
  const auto n = static_cast<int32_t>(w.children.size());
  Grid g;
  if (w.kind != WidgetKind::kGroup || (w.columns <= 0 && w.rows <= 0)) {
    g.columns = 1;
  } else if (w.columns <= 0) {
    g.columnMajor = true;
    g.rows = w.rows;
    g.columns = std::max(1, (n + w.rows - 1) / w.rows);
    return g;
  } else {
    g.columns = w.columns;
  }
  g.rows = std::max(1, (n + g.columns - 1) / g.columns);
  return g;
}

int32_t gapX(const Widget& w) {
  return (w.groupFlags & host::kGroupNoGapH) ? 0 : w.gapX;
}
int32_t gapY(const Widget& w) {
  return (w.groupFlags & host::kGroupNoGapV) ? 0 : w.gapY;
}

// Room the group's border takes on each side, on top of its border space.
void frameInsets(const Widget& w, const Font& font, int32_t& left, int32_t& top, int32_t& right,
                 int32_t& bottom) {
  left = w.spaceLeft;
  top = w.spaceTop;
  right = w.spaceRight;
  bottom = w.spaceBottom;
  if (w.border == host::kBorderTitled) {
    left += 4;
    right += 4;
    bottom += 4;
    top += font.lineHeight() + 2;
  } else if (w.border != host::kBorderNone) {
    left += 2;
    top += 2;
    right += 2;
    bottom += 2;
  }
}

void measureGadget(Widget& w, Font& font) {
  const int32_t line = font.lineHeight();
  int32_t width = 0, height = line + 6;
  switch (w.gadget) {
    case host::GadgetKind::kStaticText:
      width = font.width(w.value.toString()) + 4;
      height = line + 4;
      break;
    case host::GadgetKind::kButton:
      width = font.width(w.text) + 20;
      height = line + 8;
      break;
    case host::GadgetKind::kEditText:
    case host::GadgetKind::kEditNumber:
      width = 80;
      break;
    case host::GadgetKind::kCheckBox:
      width = 18 + font.width(w.text);
      height = std::max(16, line + 2);
      break;
    case host::GadgetKind::kSlider:
      width = 100 + font.width(formatNumber(w));
      break;
    case host::GadgetKind::kFilename:
      width = (w.text.empty() ? 0 : font.width(w.text) + 8) + 160 + 26;
      break;
    case host::GadgetKind::kSeparator:
      width = 2;
      height = 2;
      break;
    case host::GadgetKind::kUserArea:
    case host::GadgetKind::kSubDialog:
      width = 0;
      height = 0;
      break;
  }
  if (w.requestedWidth > 0) width = w.requestedWidth;
  if (w.requestedHeight > 0) height = w.requestedHeight;
  if (w.is(host::GadgetKind::kUserArea) && w.area) {
    int32_t aw = 0, ah = 0;
    if (w.area->minimumSize(aw, ah)) {
      width = std::max(width, aw);
      height = std::max(height, ah);
    }
  }
  w.minWidth = width;
  w.minHeight = height;
}

void measureGrid(Widget& w, Font& font, int32_t& width, int32_t& height) {
  const Grid g = gridOf(w);
  std::vector<int32_t> colW(g.columns, 0), rowH(g.rows, 0);
  for (size_t i = 0; i < w.children.size(); ++i) {
    const Widget& c = *w.children[i];
    const auto idx = static_cast<int32_t>(i);
    colW[g.column(idx)] = std::max(colW[g.column(idx)], c.minWidth);
    rowH[g.row(idx)] = std::max(rowH[g.row(idx)], c.minHeight);
  }
  (void)font;
  width = 0;
  height = 0;
  for (int32_t v : colW) width += v;
  for (int32_t v : rowH) height += v;
  if (!w.children.empty()) {
    width += gapX(w) * (g.columns - 1);
    height += gapY(w) * (g.rows - 1);
  }
}

}  // namespace

int32_t tabBarHeight(const Font& font) {
  return font.lineHeight() + 8;
}

int32_t titleBarHeight(const Font& font) {
  return font.lineHeight() + 10;
}

host::UiRect intersect(const host::UiRect& a, const host::UiRect& b) {
  return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}

void measure(Widget& w, Font& font) {
  for (auto& c : w.children) measure(*c, font);
  if (w.kind == WidgetKind::kGadget) {
    measureGadget(w, font);
    return;
  }
  int32_t left, top, right, bottom;
  frameInsets(w, font, left, top, right, bottom);
  int32_t width = 0, height = 0;
  if (w.kind == WidgetKind::kTabGroup) {
    for (auto& c : w.children) {
      width = std::max(width, c->minWidth);
      height = std::max(height, c->minHeight);
    }
    height += tabBarHeight(font);
  } else {
    measureGrid(w, font, width, height);
  }
  if (w.kind == WidgetKind::kScrollGroup) {
    w.contentWidth = width;
    w.contentHeight = height;
    if (w.groupFlags & host::kScrollHorizontal)
      width = w.requestedWidth > 0 ? w.requestedWidth : kScrollMinimum;
    if (w.groupFlags & host::kScrollVertical)
      height = w.requestedHeight > 0 ? w.requestedHeight : kScrollMinimum;
  }
  w.minWidth = std::max(width + left + right, w.requestedWidth);
  w.minHeight = std::max(height + top + bottom, w.requestedHeight);
}

namespace {

// Places a child in its cell: fitting children fill it, others keep their size and align.
host::UiRect place(const Widget& c, int32_t x, int32_t y, int32_t cellW, int32_t cellH) {
  int32_t w = c.minWidth, h = c.minHeight;
  int32_t px = x, py = y;
  if ((c.flags & host::kFitH) == host::kFitH) {
    w = cellW;
  } else if (c.flags & host::kCenterH) {
    px = x + (cellW - w) / 2;
  } else if (c.flags & host::kAlignRight) {
    px = x + cellW - w;
  }
  if ((c.flags & host::kFitV) == host::kFitV) {
    h = cellH;
  } else if (c.flags & host::kCenterV) {
    py = y + (cellH - h) / 2;
  } else if (c.flags & host::kAlignBottom) {
    py = y + cellH - h;
  }
  return {px, py, px + w - 1, py + h - 1};
}

// Shares `spare` pixels among the slots marked as scaling; the first ones get the remainder.
void share(std::vector<int32_t>& sizes, const std::vector<bool>& scales, int32_t spare) {
  const auto count = static_cast<int32_t>(std::count(scales.begin(), scales.end(), true));
  if (spare <= 0 || count == 0) return;
  int32_t k = 0;
  for (size_t i = 0; i < sizes.size(); ++i) {
    if (!scales[i]) continue;
    sizes[i] += spare / count + (k < spare % count ? 1 : 0);
    ++k;
  }
}

void arrangeGrid(Widget& w, const host::UiRect& inner, const host::UiRect& clip, bool shown,
                 const Font& font) {
  const Grid g = gridOf(w);
  std::vector<int32_t> colW(g.columns, 0), rowH(g.rows, 0);
  std::vector<bool> colScale(g.columns, false), rowScale(g.rows, false);
  for (size_t i = 0; i < w.children.size(); ++i) {
    const Widget& c = *w.children[i];
    const auto idx = static_cast<int32_t>(i);
    const int32_t col = g.column(idx), row = g.row(idx);
    colW[col] = std::max(colW[col], c.minWidth);
    rowH[row] = std::max(rowH[row], c.minHeight);
    if ((c.flags & host::kScaleH) == host::kScaleH) colScale[col] = true;
    if ((c.flags & host::kScaleV) == host::kScaleV) rowScale[row] = true;
  }
  int32_t usedW = gapX(w) * (g.columns - 1), usedH = gapY(w) * (g.rows - 1);
  for (int32_t v : colW) usedW += v;
  for (int32_t v : rowH) usedH += v;
  share(colW, colScale, inner.width() - usedW);
  share(rowH, rowScale, inner.height() - usedH);
  std::vector<int32_t> colX(g.columns, inner.x1), rowY(g.rows, inner.y1);
  for (int32_t c = 1; c < g.columns; ++c) colX[c] = colX[c - 1] + colW[c - 1] + gapX(w);
  for (int32_t r = 1; r < g.rows; ++r) rowY[r] = rowY[r - 1] + rowH[r - 1] + gapY(w);
  for (size_t i = 0; i < w.children.size(); ++i) {
    Widget& c = *w.children[i];
    const auto idx = static_cast<int32_t>(i);
    const int32_t col = g.column(idx), row = g.row(idx);
    arrange(c, place(c, colX[col], rowY[row], colW[col], rowH[row]), clip, shown, font);
  }
}

}  // namespace

void arrange(Widget& w, const host::UiRect& rect, const host::UiRect& clip, bool shown,
             const Font& font) {
  w.rect = rect;
  w.clip = intersect(rect, clip);
  w.shown = shown;
  if (w.kind == WidgetKind::kGadget) return;
  int32_t left, top, right, bottom;
  frameInsets(w, font, left, top, right, bottom);
  host::UiRect inner{rect.x1 + left, rect.y1 + top, rect.x2 - right, rect.y2 - bottom};
  if (w.kind == WidgetKind::kTabGroup) {
    if (w.activeTab >= static_cast<int32_t>(w.children.size())) w.activeTab = 0;
    inner.y1 += tabBarHeight(font);
    for (size_t i = 0; i < w.children.size(); ++i) {
      arrange(*w.children[i], inner, w.clip, shown && static_cast<int32_t>(i) == w.activeTab, font);
    }
    return;
  }
  if (w.kind == WidgetKind::kScrollGroup) {
    // The content is at least as large as the view; it scrolls where the group allows it.
    const int32_t viewW = inner.width(), viewH = inner.height();
    const int32_t contentW =
        (w.groupFlags & host::kScrollHorizontal) ? std::max(viewW, w.contentWidth) : viewW;
    const int32_t contentH =
        (w.groupFlags & host::kScrollVertical) ? std::max(viewH, w.contentHeight) : viewH;
    w.scrollX = std::clamp(w.scrollX, 0, std::max(0, contentW - viewW));
    w.scrollY = std::clamp(w.scrollY, 0, std::max(0, contentH - viewH));
    w.contentWidth = contentW;
    w.contentHeight = contentH;
    const host::UiRect content{inner.x1 - w.scrollX, inner.y1 - w.scrollY,
                               inner.x1 - w.scrollX + contentW - 1,
                               inner.y1 - w.scrollY + contentH - 1};
    arrangeGrid(w, content, intersect(inner, w.clip), shown, font);
    return;
  }
  arrangeGrid(w, inner, w.clip, shown, font);
}

}  // namespace hostapp
