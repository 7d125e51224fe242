// Test support: a brush tool whose dabs go straight to the dab painter, registered with the
// embedded host so that the host's stroke engine drives it.
#pragma once

#include "host/binding.h"
#include "host/sculpt.h"
#include "plugin/brushes/brush_state.h"
#include "plugin/brushes/dab_painter.h"

class TestBrush : public host::SculptBrushToolData, public pigmora::BrushStrokeState {
 public:
  static constexpr int32_t kId = 1999100;
  static inline bool restrict = false;
  static inline std::vector<bool> results;
  static inline std::vector<int32_t> pointCounts;

  TestBrush(host::SculptLibrary& lib, std::unique_ptr<host::BrushParams> p)
      : SculptBrushToolData(lib, std::move(p)) {}
  int32_t getToolPluginId() const override { return kId; }
  const char* getResourceSymbol() const override { return "testbrush"; }
  void initDefaultSettings(host::Document*, host::Settings& data) override {
    host::api().sculpt().baseDefaults(data);
    // Full strength inside half the radius, then a straight fall to the rim, over (d / r)^2.
    data.setSpline(10303, host::Spline{{{0.0, 1.0}, {0.25, 1.0}, {1.0, 0.0}}});
    data.setReal(host::kBrushStrength, 1.0);
  }
  void strokeStart(host::Document*, host::Settings&) override { setFirstDabSeen(false); }
  void strokeEnd(host::Document*, host::Settings&) override { clearMarkers(); }

  static bool dab(host::BrushDab* d) {
    pointCounts.push_back(d->pointCount());
    auto* registry = pigmora::PaintMaterialRegistry::instance();
    const bool ok = registry && pigmora::paintDab(d, restrict, *registry);
    results.push_back(ok);
    return ok;
  }

  // Registers the brush with the host and makes it the document's active tool.
  static bool install(hostapp::EmbeddedHost& host, host::Document* doc) {
    auto params = host.sculpt().createParams();
    if (!params) return false;
    params->setDabCallback(&TestBrush::dab);
    TestBrush* brush = host::make<TestBrush>(host.sculpt(), std::move(params));
    if (!brush || !host.registration().registerTool(kId, "Test Brush", 3072, "", "", brush))
      return false;
    results.clear();
    pointCounts.clear();
    return host.sculptImpl().activateTool(doc, kId);
  }
};
