// Undo tiles: saving every tile of a 4096 x 4096 layer into a step, and restoring a whole step,
// beside a memcpy of the same bytes measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/binding.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "plugin/paintchannels.h"
#include "plugin/paintundo.h"

namespace {

constexpr int32_t kSide = 4096;
constexpr int64_t kTiles = (kSide / pigmora::kUndoTileSize) * (kSide / pigmora::kUndoTileSize);

// One embedded host with the plug-in started, shared by every benchmark of the run.
struct Session {
  Session() {
    std::string error;
    ok = host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error);
    doc = host.sceneImpl().activeDocumentImpl();
    // Keep few steps alive: each holds a whole layer's worth of tiles.
    host.settings().world()->setInt32(host::kWorldUndoDepth, 1);
  }
  host::PaintBitmap* layer(int32_t mode) {
    auto it = layers.find(mode);
    if (it != layers.end()) return it->second;
    hostapp::SceneBuilder b(host, doc);
    host::Material* mat = b.addMaterial("Bench" + std::to_string(mode));
    host::PaintTexture* tex = b.addTexture(mat, 0, kSide, kSide, mode);
    host::PaintBitmap* l = tex ? tex->activeLayer() : nullptr;
    if (l) {
      // Not all zeros, so that nothing downstream can take a short cut.
      std::vector<uint8_t> row(size_t(pigmora::bytesPerPixel(mode)) * kSide);
      for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 7 + 3);
      if (mode == host::kModeARGBF)
        for (size_t i = 0; i < row.size() / 4; ++i) {
          const float f = float(i % 251) / 251.f;
          std::memcpy(&row[i * 4], &f, 4);
        }
      for (int32_t y = 0; y < kSide; ++y) l->setPixelRow(0, y, kSide, row.data(), mode);
    }
    layers[mode] = l;
    return l;
  }

  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc = nullptr;
  bool ok = false;
  std::map<int32_t, host::PaintBitmap*> layers;
};

Session& session() {
  static Session s;
  return s;
}

int64_t layerBytes(int32_t mode) {
  return int64_t{pigmora::bytesPerPixel(mode)} * kSide * kSide;
}

// Every tile of the layer saved into a fresh step.
void BM_TileSave(benchmark::State& state) {
  const int32_t mode = static_cast<int32_t>(state.range(0));
  Session& s = session();
  host::PaintBitmap* l = s.ok ? s.layer(mode) : nullptr;
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(s.doc);
  if (!l || !store) {
    state.SkipWithError("no layer or no undo store");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    store->beginStep();  // frees the step before the last one
    state.ResumeTiming();
    store->saveBitmap(l);
    state.PauseTiming();
    if (store->pending()->tileCount() != size_t(kTiles)) state.SkipWithError("tiles missing");
    store->closeStep();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kTiles);
  state.SetBytesProcessed(state.iterations() * layerBytes(mode));
  state.counters["tiles/s"] =
      benchmark::Counter(double(state.iterations() * kTiles), benchmark::Counter::kIsRate);
}

// A step of every tile restored: undo keeps the current pixels for redo and writes the saved
// ones back; redo does the same the other way. Each iteration is one undo and one redo.
void BM_TileRestore(benchmark::State& state) {
  const int32_t mode = static_cast<int32_t>(state.range(0));
  Session& s = session();
  host::PaintBitmap* l = s.ok ? s.layer(mode) : nullptr;
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(s.doc);
  if (!l || !store) {
    state.SkipWithError("no layer or no undo store");
    return;
  }
  store->beginStep();
  store->saveBitmap(l);
  store->closeStep();
  for (auto _ : state) {
    if (!store->undo() || !store->redo()) state.SkipWithError("nothing to restore");
  }
  state.SetItemsProcessed(state.iterations() * 2 * kTiles);
  state.SetBytesProcessed(state.iterations() * 2 * layerBytes(mode));
  state.counters["tiles/s"] =
      benchmark::Counter(double(state.iterations() * 2 * kTiles), benchmark::Counter::kIsRate);
}

// The baseline: one memcpy of a layer's bytes.
void BM_MemcpyBaseline(benchmark::State& state) {
  const int32_t mode = static_cast<int32_t>(state.range(0));
  const size_t bytes = size_t(layerBytes(mode));
  std::vector<uint8_t> src(bytes, 1), dst(bytes, 0);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kTiles);
  state.SetBytesProcessed(state.iterations() * int64_t(bytes));
  state.counters["tiles/s"] =
      benchmark::Counter(double(state.iterations() * kTiles), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_MemcpyBaseline)
    ->Arg(host::kModeARGB8)
    ->Arg(host::kModeARGBF)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TileSave)->Arg(host::kModeARGB8)->Arg(host::kModeARGBF)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TileRestore)
    ->Arg(host::kModeARGB8)
    ->Arg(host::kModeARGBF)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
