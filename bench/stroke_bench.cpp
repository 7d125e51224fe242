// A stroke of dabs from the host's stroke engine through the dab painter, on large layers of a
// sphere; beside it a memcpy of the bytes a dab covers.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "plugin/brushes/paintbrushbase.h"
#include "plugin/paintmaterials.h"
#include "support/test_brush.h"

namespace {

constexpr int32_t kLayer = 4096;

// A path of `dabs` dab positions, a quarter radius apart, spiralling over a unit sphere.
std::vector<host::Vector> spiral(double radius, int dabs) {
  std::vector<host::Vector> path;
  const double step = 0.25 * radius;
  double lon = 0, lat = -1.0;
  for (int i = 0; i < dabs; ++i) {
    path.push_back({std::cos(lat) * std::cos(lon), std::sin(lat), -std::cos(lat) * std::sin(lon)});
    lon += step / std::max(std::cos(lat), 0.2);
    lat = std::min(1.0, lat + step * 0.02);
  }
  return path;
}

struct StrokeSetup {
  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc = nullptr;
  host::PaintTexture* tex = nullptr;

  bool open(int32_t segments, int32_t rings, int32_t mode, int32_t layer = kLayer) {
    return openMesh(hostapp::uvSphere(segments, rings, 1.0), mode, layer);
  }
  bool openMesh(const hostapp::MeshData& mesh, int32_t mode, int32_t layer) {
    std::string error;
    if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) return false;
    doc = host.sceneImpl().activeDocumentImpl();
    hostapp::SceneBuilder b(host, doc);
    host::PolygonObject* obj = b.addMesh("mesh", mesh);
    host::Material* mat = b.addMaterial("M");
    const host::Vector white(255, 255, 255);
    tex = b.addTexture(mat, 0, layer, layer, mode, &white);
    b.addTextureTag(obj, mat);
    host.paintImpl().painter().setSelectedTexture(tex);
    host.paintImpl().painter().setColor(0, 0, {0.8, 0.1, 0.1}, 1.0);
    doc->setActiveObject(obj);
    return tex && TestBrush::install(host, doc);
  }
};

// Radius in texture pixels at the equator: the u direction spans 2 pi units over the layer.
double unitsFor(double pixels) {
  return pixels / kLayer * 2 * M_PI;
}

void BM_Stroke(benchmark::State& state) {
  const int32_t mode = static_cast<int32_t>(state.range(0));
  const double radiusPx = static_cast<double>(state.range(1));
  const int32_t segments = static_cast<int32_t>(state.range(2));
  StrokeSetup s;
  if (!s.open(segments, segments / 2, mode)) {
    state.SkipWithError("set-up failed");
    return;
  }
  const double r = unitsFor(radiusPx);
  hostapp::StrokeInput in;
  in.path = spiral(r, 1000);
  in.radius = r;
  in.spacing = 0.25;
  // Steady painting, as for the box below: one step kept, and a first stroke, not timed, that
  // builds the mesh's index and fills the undo list.
  s.host.settings().world()->setInt32(host::kWorldUndoDepth, 1);
  s.host.sculptImpl().runStroke(s.doc, in);
  int64_t dabs = 0;
  double engine = 0, brush = 0;
  for (auto _ : state) {
    s.host.sculptImpl().runStroke(s.doc, in);
    const auto& st = s.host.sculptImpl().lastStroke();
    dabs += st.dabs;
    engine += st.engineSeconds;
    brush += st.brushSeconds;
  }
  const double area = M_PI * radiusPx * radiusPx;
  state.counters["dabs/s"] =
      benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
  state.counters["Mpixel/s"] =
      benchmark::Counter(static_cast<double>(dabs) * area / 1e6, benchmark::Counter::kIsRate);
  state.counters["ms/dab"] = brush / std::max<int64_t>(dabs, 1) * 1e3;
  state.counters["engine%"] = 100.0 * engine / std::max(brush, 1e-12);
}
// Modes 5, 21, 37 at 32 and 128 pixels on a 32k-polygon sphere; then 128 pixels on 10^6 polygons.
BENCHMARK(BM_Stroke)
    ->ArgsProduct({{5, 21, 37}, {32, 128}, {256}})
    ->Args({5, 128, 1414})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A stroke of one dab on an unchanged sphere, after a first stroke has seen the mesh:
// what a stroke costs before its dabs. The floor beside it is a memcpy of the mesh's points and
// polygons, what telling an unchanged mesh from a changed one would cost by reading it.
void BM_StrokeStart(benchmark::State& state) {
  const int32_t segments = static_cast<int32_t>(state.range(0));
  StrokeSetup s;
  if (!s.open(segments, segments / 2, host::kModeARGB8)) {
    state.SkipWithError("set-up failed");
    return;
  }
  hostapp::StrokeInput in;
  in.path = {{1, 0, 0}};
  in.radius = unitsFor(4);
  s.host.sculptImpl().runStroke(s.doc, in);
  auto* obj = static_cast<host::PolygonObject*>(s.doc->activeObject());
  double brush = 0;
  for (auto _ : state) {
    s.host.sculptImpl().runStroke(s.doc, in);
    brush += s.host.sculptImpl().lastStroke().brushSeconds;
    obj->setDirty(host::kDirtyAll);  // as the paint brush's texture refresh after each stroke
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["dab ms"] = brush / n * 1e3;
  const size_t bytes = sizeof(host::Vector) * static_cast<size_t>(obj->pointCount()) +
                       sizeof(host::Polygon) * static_cast<size_t>(obj->polygonCount());
  std::vector<uint8_t> src(bytes, 1), dst(bytes);
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
  }
  state.counters["floor ms"] =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / 20 * 1e3;
}
// On the 32k-polygon sphere and on one of 10^6 polygons.
BENCHMARK(BM_StrokeStart)->Arg(256)->Arg(1414)->Unit(benchmark::kMillisecond);

// Dabs on the large faces of a box, 2048^2: a dab's cost must not grow with the polygon's area.
// Beside it the floor: a memcpy of the dab's square, a row at a time, in the same run.
// The second argument picks the brush: 0 the test brush, 1 the paint brush, 2 the paint brush
// through a 256-pixel grey stencil a face wide (compare 2 with 1 for the stencil's cost).
void BM_BoxDabs(benchmark::State& state) {
  constexpr int32_t kBoxLayer = 2048;
  const double radiusPx = static_cast<double>(state.range(0));
  StrokeSetup s;
  if (!s.openMesh(hostapp::uvBox(150, 150, 150), host::kModeARGB8, kBoxLayer)) {
    state.SkipWithError("set-up failed");
    return;
  }
  if (state.range(1) && !s.host.sculptImpl().activateTool(s.doc, pigmora::kPaintBrushId)) {
    state.SkipWithError("no paint brush");
    return;
  }
  if (state.range(1) == 2) {
    auto stencil = std::make_unique<hostapp::PlainBitmap>(s.host.memory());
    if (!stencil->init(256, 256, 24)) {
      state.SkipWithError("no stencil");
      return;
    }
    for (int32_t y = 0; y < 256; ++y)
      for (int32_t x = 0; x < 256; ++x) {
        const auto v = static_cast<uint8_t>(((x / 16 + y / 16) & 1) ? 230 : 60);
        stencil->setPixel(x, y, v, v, v);
      }
    s.host.sculptImpl().setImage("/bench/stencil.png", std::move(stencil));
    host::Settings& tool =
        *s.host.sculptImpl().toolData(s.doc, s.doc->data().getInt32(host::kDocActiveTool));
    tool.setBool(pigmora::kSettingStencilOn, true);
    tool.setFilename(host::kBrushStencil, "/bench/stencil.png");
    tool.setReal(host::kBrushStencilScale, 150.0);
  }
  // A face of 150 units spans about a third of the layer.
  const double r = radiusPx / (kBoxLayer / 3.0) * 150.0;
  hostapp::StrokeInput in;
  for (int i = 0; i <= 40; ++i) in.path.push_back({-60.0 + 3.0 * i, -40.0 + 2.0 * i, 75.0});
  in.radius = r;
  in.spacing = 0.25;
  // Painting as an artist does once the undo list is full: each stroke lets the oldest step go
  // and saves its tiles into the buffers that step held. A first stroke, not timed, fills the
  // list; without it the figure is the kernel handing out fresh pages for the undo tiles.
  s.host.settings().world()->setInt32(host::kWorldUndoDepth, 1);
  s.host.sculptImpl().runStroke(s.doc, in);
  int64_t dabs = 0;
  double brush = 0;
  for (auto _ : state) {
    s.host.sculptImpl().runStroke(s.doc, in);
    dabs += s.host.sculptImpl().lastStroke().dabs;
    brush += s.host.sculptImpl().lastStroke().brushSeconds;
  }
  state.counters["ms/dab"] = brush / static_cast<double>(std::max<int64_t>(dabs, 1)) * 1e3;
  const int32_t side = static_cast<int32_t>(2 * radiusPx);
  std::vector<uint8_t> src(static_cast<size_t>(kBoxLayer) * side * 4, 1), dst(src.size());
  const auto t0 = std::chrono::steady_clock::now();
  for (int k = 0; k < 100; ++k) {
    for (int32_t y = 0; y < side; ++y)
      std::memcpy(dst.data() + static_cast<size_t>(y) * kBoxLayer * 4,
                  src.data() + static_cast<size_t>(y) * kBoxLayer * 4,
                  static_cast<size_t>(side) * 4);
    benchmark::DoNotOptimize(dst.data());
  }
  state.counters["floor ms/dab"] =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / 100 * 1e3;
}
BENCHMARK(BM_BoxDabs)
    ->Args({16, 0})
    ->Args({30, 0})
    ->Args({100, 1})
    ->Args({100, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Baseline: copying the bytes of one dab's square, a row at a time.
void BM_MemcpyDabArea(benchmark::State& state) {
  const int32_t bpp = static_cast<int32_t>(state.range(0));
  const int32_t side = static_cast<int32_t>(2 * state.range(1));
  std::vector<uint8_t> src(static_cast<size_t>(kLayer) * side * bpp, 1), dst(src.size());
  for (auto _ : state) {
    for (int32_t y = 0; y < side; ++y)
      std::memcpy(dst.data() + static_cast<size_t>(y) * kLayer * bpp,
                  src.data() + static_cast<size_t>(y) * kLayer * bpp,
                  static_cast<size_t>(side) * bpp);
    benchmark::DoNotOptimize(dst.data());
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * side * side / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyDabArea)->ArgsProduct({{4, 8, 16}, {32, 128}});

}  // namespace

BENCHMARK_MAIN();
