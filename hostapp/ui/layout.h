// Lays a widget tree out: minimum sizes bottom-up, then rectangles top-down. Groups place their
// children in a grid of columns; spare room goes to the columns and rows that hold scaling
// children. User areas are asked for their minimum size on every pass.
#pragma once

#include "host/ui_types.h"
#include "hostapp/ui/widget.h"

namespace hostapp {

class Font;

// Height of a tab group's row of tabs, and of a window's title bar.
int32_t tabBarHeight(const Font& font);
int32_t titleBarHeight(const Font& font);

void measure(Widget& widget, Font& font);
// Gives the widget `rect`; `clip` is the visible part of its parent, `shown` false inside tabs
// that are not selected.
void arrange(Widget& widget, const host::UiRect& rect, const host::UiRect& clip, bool shown,
             const Font& font);

host::UiRect intersect(const host::UiRect& a, const host::UiRect& b);

}  // namespace hostapp
