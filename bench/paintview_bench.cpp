// The paint view with many cells: the first draw (every preview rendered from its layer), a
// redraw after one dab (only that cell's preview rendered again), and a polygon-picking drag
// across a large cell of a big mesh; beside a memcpy of one layer in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host/binding.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/ui/ui_host.h"
#include "plugin/bpviewdialog.h"

namespace {

constexpr int32_t kLayerSize = 2048;
constexpr int32_t kCells = 100;

struct PluginHost {
  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc = nullptr;
  PluginHost() {
    std::string error;
    if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) std::abort();
    doc = host.sceneImpl().activeDocumentImpl();
  }
  ~PluginHost() { host.unload(); }
};

// A 10 x 10 grid whose every polygon has a material of its own with a 2048 x 2048 texture.
struct ManyCells : PluginHost {
  std::vector<host::PaintTexture*> textures;
  std::unique_ptr<pigmora::BPViewDialog> view;
  ManyCells() {
    hostapp::SceneBuilder b(host, doc);
    host::PolygonObject* obj = b.addMesh("Grid", hostapp::gridMesh(10, 10, 10.0));
    const host::Vector fill(160, 110, 80);
    for (int32_t i = 0; i < kCells; ++i) {
      host::Material* m = b.addMaterial("Grid_POLY_" + std::to_string(i));
      textures.push_back(b.addTexture(m, 0, kLayerSize, kLayerSize, host::kModeARGB8, &fill));
      b.addSelectionTag(obj, "Grid_POLY_" + std::to_string(i), {i});
      b.addTextureTag(obj, m, "Grid_POLY_" + std::to_string(i));
    }
    doc->setActiveObject(obj);
    // What building the scene raised is delivered before the window opens.
    host.uiHost().settle();
  }
  void open() {
    view = std::make_unique<pigmora::BPViewDialog>();
    view->open(host::kDialogAsync, pigmora::kPaintViewId, -1, -1, 600, 600);
    host.uiHost().settle();
  }
  ~ManyCells() { view.reset(); }
};

void BM_FirstDraw100Cells(benchmark::State& state) {
  ManyCells scene;
  for (auto _ : state) {
    scene.view.reset();
    scene.open();
    benchmark::DoNotOptimize(scene.host.uiHost().window(pigmora::kPaintViewId));
  }
  state.counters["previews"] = kCells;
  state.SetItemsProcessed(state.iterations() * kCells);
}
BENCHMARK(BM_FirstDraw100Cells)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_RedrawAfterOneDab(benchmark::State& state) {
  ManyCells scene;
  scene.open();
  // A dab: a 64 x 64 block of the first material's layer, told to the host as painting is.
  host::PaintBitmap* layer = scene.textures[0]->activeLayer();
  std::vector<uint8_t> row(64 * 4, 200);
  int32_t shift = 0;
  for (auto _ : state) {
    shift = (shift + 7) % 512;
    for (int32_t y = 0; y < 64; ++y) layer->setPixelRow(shift, shift + y, 64, row.data(), 5);
    layer->notifyChanged(shift, shift, shift + 64, shift + 64, host::kUpdateLayerChanged);
    scene.view->refresh();
    scene.host.uiHost().settle();
  }
  int32_t renders = 0;
  for (int32_t i = 0; i < scene.view->materials().cellCount(); ++i)
    renders += scene.view->materials().cell(i)->renders();
  state.counters["renders"] = benchmark::Counter(renders);
}
BENCHMARK(BM_RedrawAfterOneDab)->Unit(benchmark::kMillisecond);

void BM_MemcpyOfOneLayer(benchmark::State& state) {
  std::vector<uint8_t> a(size_t{kLayerSize} * kLayerSize * 4, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_MemcpyOfOneLayer)->Unit(benchmark::kMillisecond);

// 10^5 polygons under one material shown in a 512-pixel cell; 200 moves of the mouse across it.
void BM_Drag200MovesOn100kPolygons(benchmark::State& state) {
  PluginHost scene;
  hostapp::SceneBuilder b(scene.host, scene.doc);
  host::PolygonObject* obj = b.addMesh("Dense", hostapp::gridMesh(316, 317, 10.0));
  host::Material* m = b.addMaterial("Dense");
  const host::Vector fill(128, 128, 128);
  b.addTexture(m, 0, 512, 512, host::kModeARGB8, &fill);
  b.addTextureTag(obj, m);
  scene.doc->setActiveObject(obj);
  scene.doc->data().setInt32(host::kDocMode, 7);
  pigmora::BPViewDialog view;
  view.open(host::kDialogAsync, pigmora::kPaintViewId, -1, -1, 600, 600);
  hostapp::Window* w = scene.host.uiHost().window(pigmora::kPaintViewId);
  w->setNumber(pigmora::kViewZoomSlider, 1.0);
  scene.host.uiHost().settle();
  std::vector<host::UiItem> cells = w->items(pigmora::kPaintViewArea);
  const host::UiRect cell = cells.at(0).rect;
  std::vector<std::pair<int32_t, int32_t>> path;
  for (int32_t i = 0; i <= 200; ++i)
    path.emplace_back(cell.x1 + 10 + (i * 491) / 200, cell.y1 + 10 + (i * 37 % 491));
  // The drag loop alone (press, 200 polled moves, release), or as the user sees it: with the
  // redraw and the window's answer to the change messages the drag raised.
  const bool loopOnly = state.range(0) == 0;
  hostapp::AreaSlot* slot = w->find(pigmora::kPaintViewArea)->area;
  for (auto _ : state) {
    if (loopOnly) {
      host::InputEvent press;
      press.x = path.front().first;
      press.y = path.front().second;
      std::deque<host::MouseState> moves;
      for (size_t i = 1; i < path.size(); ++i)
        moves.push_back({path[i].first, path[i].second, 0, i + 1 < path.size()});
      slot->input(press, std::move(moves));
    } else {
      w->mouseDrag(pigmora::kPaintViewArea, path);
    }
    benchmark::DoNotOptimize(obj->polygonSelection().count());
  }
  state.counters["polygons"] = obj->polygonCount();
  state.counters["selected"] = obj->polygonSelection().count();
  state.counters["rebuilds"] = view.materials().rebuilds();
  state.counters["refreshes"] = view.materials().refreshes();
  state.counters["delivered"] = static_cast<double>(scene.host.uiHost().delivered().size());
  scene.host.uiHost().settle();
}
BENCHMARK(BM_Drag200MovesOn100kPolygons)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The cell of the 10^5-polygon object drawn again (its outlines over the preview), and built
// again from its texture tag as the view's change tracking does.
void BM_DenseCell(benchmark::State& state) {
  PluginHost scene;
  hostapp::SceneBuilder b(scene.host, scene.doc);
  host::PolygonObject* obj = b.addMesh("Dense", hostapp::gridMesh(316, 317, 10.0));
  host::Material* m = b.addMaterial("Dense");
  const host::Vector fill(128, 128, 128);
  b.addTexture(m, 0, 512, 512, host::kModeARGB8, &fill);
  b.addTextureTag(obj, m);
  scene.doc->setActiveObject(obj);
  pigmora::BPViewDialog view;
  view.open(host::kDialogAsync, pigmora::kPaintViewId, -1, -1, 600, 600);
  hostapp::Window* w = scene.host.uiHost().window(pigmora::kPaintViewId);
  w->setNumber(pigmora::kViewZoomSlider, 1.0);
  scene.host.uiHost().settle();
  for (auto _ : state) {
    if (state.range(0) == 0)
      view.materials().redraw();
    else
      view.rebuild(0);
    scene.host.uiHost().settle();
  }
}
BENCHMARK(BM_DenseCell)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
