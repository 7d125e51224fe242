// The creation commands on large meshes: "QOR Create Material Per UV Island" on 10^5 polygons in
// 400 islands, beside finding those islands alone (the part no implementation can skip) in the
// same run.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "host/binding.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "island_layout.h"
#include "plugin/uvislands.h"

namespace {

constexpr int32_t kIslandMaterials = 1036152;

// A fresh host with the plug-in, a document and the 20 x 20 islands of 16 x 16 quads (102,400
// polygons) active, textures of `size` pixels, written into `folder` when one is given.
struct IslandScene {
  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc = nullptr;
  host::PolygonObject* obj = nullptr;

  explicit IslandScene(int32_t size, const std::string& folder = {}) {
    std::string error;
    if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) return;
    doc = host.sceneImpl().activeDocumentImpl();
    doc->data().setFilename(host::kDocPath, folder);
    hostapp::SceneBuilder b(host, doc);
    obj = b.addMesh("islands", islandLayout(20, 16));
    doc->setActiveObject(obj);
    host::Settings prefs(1037934);
    prefs.setInt32(1000, host::kFormatTIFF);
    prefs.setInt32(1001, size);
    host.settings().world()->setContainer(1037934, prefs);
  }
};

void BM_CreateMaterialPerUVIsland(benchmark::State& state) {
  const int32_t size = static_cast<int32_t>(state.range(0));
  const bool toDisk = state.range(1) != 0;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("pigmora_commands_bench_" + std::to_string(getpid()));
  int32_t polygons = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    auto scene = std::make_unique<IslandScene>(size, toDisk ? folder.string() : std::string());
    if (!scene->obj) {
      state.SkipWithError("the plug-in did not load");
      break;
    }
    polygons = scene->obj->polygonCount();
    state.ResumeTiming();
    benchmark::DoNotOptimize(scene->host.registration().callCommand(kIslandMaterials, 0));
    state.PauseTiming();
    state.counters["materials"] = 0;
    for (host::Material* m = scene->doc->firstMaterial(); m; m = m->next())
      state.counters["materials"] += 1;
    scene.reset();
    state.ResumeTiming();
  }
  std::filesystem::remove_all(folder);
  state.counters["polygons"] = polygons;
  state.counters["Mpolygons/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * polygons / 1e6, benchmark::Counter::kIsRate);
}
// Texture size, and whether the 400 textures are written as TIFF files.
BENCHMARK(BM_CreateMaterialPerUVIsland)
    ->Args({64, 0})
    ->Args({256, 0})
    ->Args({64, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Baseline: the edge neighbourhood and the island search on the same mesh.
void BM_FindIslandsOnly(benchmark::State& state) {
  IslandScene scene(64);
  auto* uvw = static_cast<host::UVWTag*>(scene.obj->tag(host::kTypeUVWTag));
  pigmora::UVIslandList list;
  for (auto _ : state) {
    auto neighbour = scene.host.scene().buildNeighbour(scene.obj, nullptr);
    pigmora::findUVIslands(list, uvw, scene.obj, neighbour.get(), nullptr, nullptr);
  }
  state.counters["islands"] = static_cast<double>(list.size());
}
BENCHMARK(BM_FindIslandsOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
