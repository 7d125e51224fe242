// A stroke through the registered paint brush beside the same dabs sent straight to the dab
// painter: the difference is the tool's own cost.
#include <benchmark/benchmark.h>

#include <cmath>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "plugin/brushes/paintbrushbase.h"
#include "support/test_brush.h"

namespace {

void BM_BrushStroke(benchmark::State& state) {
  const bool registered = state.range(0) != 0;
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  hostapp::DocumentImpl* doc = host.sceneImpl().activeDocumentImpl();
  hostapp::SceneBuilder b(host, doc);
  host::PolygonObject* obj = b.addMesh("sphere", hostapp::uvSphere(256, 128, 1.0));
  host::Material* mat = b.addMaterial("M");
  const host::Vector white(255, 255, 255);
  host::PaintTexture* tex = b.addTexture(mat, 0, 4096, 4096, 5, &white);
  b.addTextureTag(obj, mat);
  host.paintImpl().painter().setSelectedTexture(tex);
  doc->setActiveObject(obj);
  if (registered) {
    host.sculptImpl().activateTool(doc, pigmora::kPaintBrushId);
  } else {
    TestBrush::install(host, doc);
  }
  // The same falloff and strength for both.
  host::Settings* s = host.sculptImpl().toolData(doc, doc->data().getInt32(host::kDocActiveTool));
  s->setSpline(10303, host::Spline{{{0, 1}, {1, 0}}});
  s->setReal(host::kBrushStrength, 1.0);
  s->setBool(10211, false);
  // 1000 dabs a quarter of a 32-pixel radius apart around the equator and up.
  const double r = 32.0 / 4096 * 2 * M_PI;
  hostapp::StrokeInput in;
  for (int i = 0; i < 1000; ++i) {
    const double lon = i * 0.25 * r, lat = 0.4 * std::sin(i * 0.01);
    in.path.push_back(
        {std::cos(lat) * std::cos(lon), std::sin(lat), -std::cos(lat) * std::sin(lon)});
  }
  in.radius = r;
  int64_t dabs = 0;
  for (auto _ : state) {
    host.sculptImpl().runStroke(doc, in);
    dabs += host.sculptImpl().lastStroke().dabs;
  }
  state.counters["dabs/s"] =
      benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BrushStroke)->Arg(1)->Arg(0)->ArgNames({"registered"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
