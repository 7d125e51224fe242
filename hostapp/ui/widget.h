// One node of a window's widget tree, as the dialog's layout calls built it, with what the last
// layout pass gave it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/settings.h"
#include "host/ui_types.h"

namespace hostapp {

class AreaSlot;
class DialogScope;

enum class WidgetKind : int32_t { kGroup, kTabGroup, kScrollGroup, kSubDialog, kGadget };

struct Widget {
  WidgetKind kind = WidgetKind::kGroup;
  host::GadgetKind gadget = host::GadgetKind::kStaticText;  // for kGadget
  int32_t id = 0;
  int32_t flags = 0;
  int32_t requestedWidth = 0, requestedHeight = 0;
  // Group title, button, check-box and file-field labels.
  std::string text;
  // Static and edit texts and file names hold strings, check boxes booleans, sliders reals.
  host::Value value;
  double min = 0.0, max = 1.0, step = 0.0;
  int32_t format = host::kNumberReal;
  bool enabled = true;

  // Groups.
  int32_t columns = 1, rows = 0;
  int32_t groupFlags = 0;
  int32_t border = host::kBorderNone;
  int32_t spaceLeft = 0, spaceTop = 0, spaceRight = 0, spaceBottom = 0;
  int32_t gapX = 4, gapY = 4;
  int32_t activeTab = 0;
  int32_t scrollX = 0, scrollY = 0;

  DialogScope* scope = nullptr;  // the dialog the gadget's id and commands belong to
  AreaSlot* area = nullptr;      // the user area attached to a user-area gadget
  Widget* parent = nullptr;
  std::vector<std::unique_ptr<Widget>> children;

  // Results of the last layout pass, in dialog coordinates.
  int32_t minWidth = 0, minHeight = 0;
  int32_t contentWidth = 0, contentHeight = 0;  // scroll groups: the scrolled content
  host::UiRect rect{0, 0, -1, -1};
  host::UiRect clip{0, 0, -1, -1};
  bool shown = true;

  bool isGroup() const { return kind != WidgetKind::kGadget; }
  bool is(host::GadgetKind g) const { return kind == WidgetKind::kGadget && gadget == g; }
};

// Depth-first walk; stops when `visit` answers true and returns that widget.
template <class Visit>
Widget* findWidget(Widget& root, Visit visit) {
  if (visit(root)) return &root;
  for (auto& child : root.children) {
    if (Widget* w = findWidget(*child, visit)) return w;
  }
  return nullptr;
}

}  // namespace hostapp
