// The paint brush: a brush of the host's sculpting system whose dabs are painted into the layers
// of the painted object's materials.
#pragma once

#include <cstdint>

#include "host/sculpt.h"
#include "plugin/brushes/brush_state.h"

namespace pigmora {

constexpr int32_t kPaintBrushId = 1035414;
constexpr int32_t kBrushInfo = 3072;

// Tool settings of the brush (the host base adds its stroke, stamp, stencil and falloff ones).
constexpr int32_t kSettingStabilise = 10211;
constexpr int32_t kSettingRestrict = 10212;
constexpr int32_t kSettingSmoothing = 10213;
constexpr int32_t kBrushModeFill = 10224;
constexpr int32_t kButtonBleed = 20001;
constexpr int32_t kButtonFillLayerUVs = 20003;
constexpr int32_t kButtonFillIslands = 20004;
constexpr int32_t kButtonApply = 20005;
constexpr int32_t kButtonReloadStamps = 20016;
constexpr int32_t kCommandFillLayerUVs = 1038000;

class PaintBrushBase : public host::SculptBrushToolData, public BrushStrokeState {
 public:
  PaintBrushBase(host::SculptLibrary& library, std::unique_ptr<host::BrushParams> params);

  // Registers the brush; a brush whose name string is empty is left out without failing.
  static bool registerTool();

  void initDefaultSettings(host::Document* doc, host::Settings& data) override;
  void initDefaults(host::Document* doc, host::Settings& data) override;
  bool mouseInput(host::Document* doc, host::Settings& data) override;
  bool getDEnabling(host::Document* doc, host::Settings& data, int32_t id, const host::Value& v,
                    int32_t flags) override;
  bool setDParameter(host::Document* doc, host::Settings& data, int32_t id, const host::Value& v,
                     int32_t& flags) override;
  bool message(host::Document* doc, host::Settings& data, int32_t type, void* tdata) override;
  const char* getResourceSymbol() const override { return "qortoolpaintbrushbase"; }
  int32_t getToolPluginId() const override { return kPaintBrushId; }
  void strokeStart(host::Document* doc, host::Settings& data) override;
  void strokeEnd(host::Document* doc, host::Settings& data) override;
  void afterStroke() override;

  // The dab callback the parameter block hands the host.
  static bool paintDabCallback(host::BrushDab* dab);

 protected:
  // Makes a parameter block with the brush's switches; `modifiesPoints` is the ninth.
  static std::unique_ptr<host::BrushParams> makeParams(host::SculptLibrary& library,
                                                       bool modifiesPoints,
                                                       host::DabCallback callback);

 private:
  // Writes the brush's own defaults; with the host base's in the middle when asked.
  void writeDefaults(host::Settings& data, bool withBase);
  void reloadChannelStamps(host::Settings& data);
  void floodButton(host::Document* doc, host::Settings& data, int32_t mode);
};

}  // namespace pigmora
