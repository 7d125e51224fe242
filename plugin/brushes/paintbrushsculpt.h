// The sculpt paint brush: every dab paints like the paint brush, then pushes the points under it
// along the dab's normal, so colour and relief come with one stroke.
#pragma once

#include "plugin/brushes/paintbrushbase.h"

namespace pigmora {

constexpr int32_t kSculptBrushId = 1035416;
constexpr int32_t kSettingRelief = 10214;
constexpr int32_t kSettingInvertRelief = 10216;

class PaintBrushSculpt : public PaintBrushBase {
 public:
  using PaintBrushBase::PaintBrushBase;

  static bool registerTool();
  const char* getResourceSymbol() const override { return "qortoolpaintbrushsculpt"; }
  int32_t getToolPluginId() const override { return kSculptBrushId; }

  static bool sculptDabCallback(host::BrushDab* dab);
};

}  // namespace pigmora
