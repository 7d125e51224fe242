// Document files: saving and loading a document with four 4096 x 4096 layers, in 8-bit and in
// float, beside a memcpy of the same bytes and beside writing and reading the same layers as
// image files (PNG for 8-bit, EXR for float), all measured in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"

namespace {

constexpr int32_t kSide = 4096;
constexpr int kLayers = 4;

std::filesystem::path scratch() {
  const auto dir = std::filesystem::temp_directory_path() / "pigmora-document-bench";
  std::filesystem::create_directories(dir);
  return dir;
}

// A document whose four layers look painted: a soft gradient below, strokes of colour with soft
// edges above, and fine grain everywhere, so that neither side can take a short cut.
// One embedded host with the plug-in started, shared by every benchmark of the run.
hostapp::EmbeddedHost& benchHost() {
  static hostapp::EmbeddedHost* host = [] {
    auto* h = new hostapp::EmbeddedHost();
    std::string error;
    h->loadEntry(&c4d_main, PIGMORA_RES_DIR, error);
    return h;
  }();
  return *host;
}

struct Session {
  explicit Session(int32_t mode) : host(benchHost()) {
    doc = host.sceneImpl().newDocument();
    hostapp::SceneBuilder b(host, doc);
    host::Material* mat = b.addMaterial("Bench");
    tex = b.addTexture(mat, 0, kSide, kSide, mode);
    for (int i = 1; i < kLayers && tex; ++i) tex->addLayer("Layer " + std::to_string(i), mode);
    uint32_t grain = 12345;
    std::vector<float> row(size_t(kSide) * 4);
    for (int i = 0; tex && i < kLayers; ++i) {
      host::PaintBitmap* layer = static_cast<hostapp::PaintTextureImpl*>(tex)->layer(i);
      for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
          grain = grain * 1664525u + 1013904223u;
          const float n = float(grain >> 24) / 255.f * 0.02f;
          const float d = std::abs(std::sin((x + 3 * y) * 0.002f * (i + 1)));
          float* p = &row[size_t(x) * 4];
          p[0] = i == 0 ? 1.f : (d < 0.2f ? 1.f - d * 5.f : 0.f);
          p[1] = 0.5f + 0.4f * std::sin(x * 0.001f + i) + n;
          p[2] = 0.4f + 0.3f * std::cos(y * 0.0013f) + n;
          p[3] = 0.3f + 0.2f * float(i) / kLayers + n;
        }
        layer->setPixelRow(0, y, kSide, row.data(), host::kModeARGBF);
      }
    }
    bytes = int64_t(kLayers) * kSide * kSide * (mode == host::kModeARGBF ? 16 : 4);
  }
  hostapp::EmbeddedHost& host;
  hostapp::DocumentImpl* doc = nullptr;
  host::PaintTexture* tex = nullptr;
  int64_t bytes = 0;
};

Session& session(int32_t mode) {
  static Session eight(host::kModeARGB8);
  static Session real(host::kModeARGBF);
  return mode == host::kModeARGBF ? real : eight;
}

int32_t modeOf(const benchmark::State& state) {
  return state.range(0) ? host::kModeARGBF : host::kModeARGB8;
}

void BM_Memcpy(benchmark::State& state) {
  Session& s = session(modeOf(state));
  auto* tex = static_cast<hostapp::PaintTextureImpl*>(s.tex);
  std::vector<uint8_t> copy(size_t(s.bytes / kLayers));
  for (auto _ : state) {
    for (int i = 0; i < kLayers; ++i)
      std::memcpy(copy.data(), tex->layer(i)->pixels().row(0), copy.size());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * s.bytes);
}

void BM_SaveDocument(benchmark::State& state) {
  Session& s = session(modeOf(state));
  const std::string path = (scratch() / "bench.pigmora").string();
  std::string error;
  for (auto _ : state)
    if (!hostapp::saveDocument(s.host, *s.doc, path, error)) state.SkipWithError(error.c_str());
  state.SetBytesProcessed(state.iterations() * s.bytes);
  state.counters["file_MB"] = double(std::filesystem::file_size(path)) / 1e6;
}

void BM_LoadDocument(benchmark::State& state) {
  Session& s = session(modeOf(state));
  const std::string path = (scratch() / "bench.pigmora").string();
  std::string error;
  if (!hostapp::saveDocument(s.host, *s.doc, path, error)) state.SkipWithError(error.c_str());
  for (auto _ : state) {
    hostapp::DocumentImpl* loaded = hostapp::loadDocument(s.host, path, error);
    if (!loaded) {
      state.SkipWithError(error.c_str());
      break;
    }
    s.host.sceneImpl().closeDocument(loaded);
  }
  state.SetBytesProcessed(state.iterations() * s.bytes);
}

std::string imagePath(int32_t mode, int i) {
  return (scratch() / ("layer" + std::to_string(i) + (mode == host::kModeARGBF ? ".exr" : ".png")))
      .string();
}

void BM_WriteImages(benchmark::State& state) {
  const int32_t mode = modeOf(state);
  Session& s = session(mode);
  auto* tex = static_cast<hostapp::PaintTextureImpl*>(s.tex);
  std::string error;
  for (auto _ : state)
    for (int i = 0; i < kLayers; ++i)
      if (!hostapp::saveImageFile(*tex->layer(i), imagePath(mode, i), error))
        state.SkipWithError(error.c_str());
  state.SetBytesProcessed(state.iterations() * s.bytes);
  uintmax_t size = 0;
  for (int i = 0; i < kLayers; ++i) size += std::filesystem::file_size(imagePath(mode, i));
  state.counters["file_MB"] = double(size) / 1e6;
}

void BM_ReadImages(benchmark::State& state) {
  const int32_t mode = modeOf(state);
  Session& s = session(mode);
  auto* tex = static_cast<hostapp::PaintTextureImpl*>(s.tex);
  std::string error;
  for (int i = 0; i < kLayers; ++i)
    if (!std::filesystem::exists(imagePath(mode, i)))
      hostapp::saveImageFile(*tex->layer(i), imagePath(mode, i), error);
  for (auto _ : state) {
    for (int i = 0; i < kLayers; ++i) {
      auto read = hostapp::loadPaintTexture(s.host.memory(), imagePath(mode, i), error);
      if (!read) state.SkipWithError(error.c_str());
      benchmark::DoNotOptimize(read.get());
    }
  }
  state.SetBytesProcessed(state.iterations() * s.bytes);
}

// Argument 0: 8-bit ARGB layers; 1: float ARGB layers.
BENCHMARK(BM_Memcpy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveDocument)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LoadDocument)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WriteImages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ReadImages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
