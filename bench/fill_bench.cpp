// Bleed, the UV pixel map and the UV island finder on large layers and meshes, each beside a
// memcpy of the layer in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "host/binding.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "island_layout.h"
#include "lib/bleed.h"
#include "lib/uvpixelmap.h"
#include "plugin/uvislands.h"

namespace {

struct Layout {
  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc;
  host::PolygonObject* obj = nullptr;
  host::PaintTexture* tex = nullptr;

  explicit Layout(int32_t size, int32_t mode = 5) : doc(host.sceneImpl().newDocument()) {
    hostapp::SceneBuilder b(host, doc);
    obj = b.addMesh("islands", islandLayout(8, 16));
    host::Material* mat = b.addMaterial("M");
    const host::Vector grey(128, 128, 128);
    tex = b.addTexture(mat, 0, size, size, mode, &grey);
    b.addTextureTag(obj, mat);
    // The bleed runs inside the plug-in, which reaches the host through its binding.
    table = host::FunctionTable{host::kApiVersion, 0, &host};
    host::bind(&table);
  }
  ~Layout() { host::unbind(); }
  host::FunctionTable table{};
};

void BM_Bleed(benchmark::State& state) {
  const int32_t size = static_cast<int32_t>(state.range(0));
  const int32_t mode = static_cast<int32_t>(state.range(1));
  Layout l(size, mode);
  host::PaintBitmap* layer = l.tex->activeLayer();
  const size_t rowBytes = static_cast<size_t>(size) * (mode == 37 ? 16 : 4);
  std::vector<uint8_t> original(rowBytes * size);
  for (int32_t y = 0; y < size; ++y)
    layer->getPixelRow(0, y, size, original.data() + rowBytes * y, mode);
  int64_t peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (int32_t y = 0; y < size; ++y)
      layer->setPixelRow(0, y, size, original.data() + rowBytes * y, mode);
    l.host.memory().resetPeak();
    const int64_t before = l.host.memory().liveBytes();
    state.ResumeTiming();
    pigmora::BleedLayer(layer, nullptr, l.obj, 10);
    peak = std::max(peak, l.host.memory().peakBytes() - before);
  }
  state.counters["peakMiB"] = static_cast<double>(peak) / (1 << 20);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(original.size()));
}
// Distance 10 on 8-bit 4096^2 and 8192^2 layers and a float 8192^2 one.
BENCHMARK(BM_Bleed)
    ->Args({4096, 5})
    ->Args({8192, 5})
    ->Args({8192, 37})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_PixelMapBuild(benchmark::State& state) {
  const int32_t size = static_cast<int32_t>(state.range(0));
  Layout l(64);
  pigmora::UVPixelMap map(0);
  for (auto _ : state) map.build(l.obj, size, size, nullptr, nullptr, nullptr);
  state.counters["tiles"] = static_cast<double>(map.tileCount());
}
BENCHMARK(BM_PixelMapBuild)->Arg(4096)->Arg(8192)->Unit(benchmark::kMillisecond);

// Baseline: one copy of the layer's bytes.
void BM_MemcpyLayer(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * state.range(0) * state.range(1);
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
// The same sizes, at 4 and 16 bytes a pixel.
BENCHMARK(BM_MemcpyLayer)
    ->Args({4096, 4})
    ->Args({8192, 4})
    ->Args({8192, 16})
    ->Unit(benchmark::kMillisecond);

void BM_Islands(benchmark::State& state) {
  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc = host.sceneImpl().newDocument();
  hostapp::SceneBuilder b(host, doc);
  // 20 x 20 islands of 50 x 50 quads: 10^6 quads, 400 islands.
  host::PolygonObject* obj = b.addMesh("million", islandLayout(20, 50));
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  auto neighbour = host.scene().buildNeighbour(obj, nullptr);
  // The island lists live in host memory, which the plug-in reaches through its binding: without
  // it every list is refused and the search finds nothing.
  host::FunctionTable table{host::kApiVersion, 0, &host};
  host::bind(&table);
  pigmora::UVIslandList list;
  for (auto _ : state) pigmora::findUVIslands(list, uvw, obj, neighbour.get(), nullptr, nullptr);
  state.counters["islands"] = static_cast<double>(list.size());
  if (list.size() != 400) state.SkipWithError("the search did not find the 400 islands");
  host::unbind();
  state.counters["Mpolygons/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * obj->polygonCount() / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Islands)->Unit(benchmark::kMillisecond);

void BM_Neighbourhood(benchmark::State& state) {
  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc = host.sceneImpl().newDocument();
  hostapp::SceneBuilder b(host, doc);
  host::PolygonObject* obj = b.addMesh("million", islandLayout(20, 50));
  for (auto _ : state) benchmark::DoNotOptimize(host.scene().buildNeighbour(obj, nullptr));
}
BENCHMARK(BM_Neighbourhood)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
