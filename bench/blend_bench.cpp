// The blend over row segments in the common colour modes, and the brush rasteriser's falloff
// span end to end through the host's rows; beside each a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/binding.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "plugin/paintmaterials.h"
#include "plugin/rast/blend.h"
#include "plugin/rast/falloff.h"
#include "plugin/rast/rasterize.h"

namespace {

constexpr int32_t kSpan = 4096;  // pixels per row segment
constexpr int32_t kLayer = 2048;

// Pixels with every alpha level and an opacity ramp, as a falloff leaves them.
struct SpanData {
  pigmora::PixelLayout layout;
  std::vector<uint8_t> row, copy, color;
  std::vector<float> opacity;

  explicit SpanData(int32_t mode) {
    pigmora::pixelLayout(mode, layout);
    const size_t bytes = static_cast<size_t>(kSpan) * layout.pixelBytes;
    row.resize(bytes);
    copy.resize(bytes);
    color.resize(static_cast<size_t>(layout.pixelBytes));
    opacity.resize(kSpan);
    uint32_t seed = 7;
    for (size_t i = 0; i < bytes; ++i) {
      seed = seed * 1664525u + 1013904223u;
      row[i] = static_cast<uint8_t>(seed >> 24);
    }
    if (layout.bits == 32) {
      // Float components between 0 and 1.
      for (size_t i = 0; i < bytes; i += 4) {
        const float v = static_cast<float>(row[i]) / 255.f;
        std::memcpy(&row[i], &v, 4);
      }
    }
    for (int32_t k = 0; k < kSpan; ++k)
      opacity[static_cast<size_t>(k)] = static_cast<float>(k % 256) / 255.f;
    const float red[3] = {0.9f, 0.2f, 0.1f};
    host::api().paint().convertPixels(host::kModeRGBF, red, mode, color.data(), 1);
  }
  size_t bytes() const { return row.size(); }
};

void BM_BlendSpan(benchmark::State& state) {
  SpanData d(static_cast<int32_t>(state.range(0)));
  // In place: the pixels drift towards the colour, which costs the blend nothing.
  for (auto _ : state) {
    pigmora::blendSpan(d.layout, d.row.data(), kSpan, d.opacity.data(), 1, d.color.data(), 0);
    benchmark::DoNotOptimize(d.row.data());
  }
  state.SetItemsProcessed(state.iterations() * kSpan);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(d.bytes()));
}

// Copying the same bytes once.
void BM_MemcpySpan(benchmark::State& state) {
  SpanData d(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    std::memcpy(d.copy.data(), d.row.data(), d.bytes());
    benchmark::DoNotOptimize(d.copy.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSpan);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(d.bytes()));
}

// One triangle over half a 2048 x 2048 layer in mode 5, painted by the brush rasteriser with the
// falloff table: the walk, the opacity lookups, the blend and the host's row reads and writes.
struct BaryScene {
  hostapp::EmbeddedHost* host = nullptr;
  host::PaintBitmap* layer = nullptr;
  std::unique_ptr<pigmora::PaintTarget> target;
  int64_t pixels = 0;

  explicit BaryScene(hostapp::EmbeddedHost& h) : host(&h) {
    hostapp::SceneBuilder b(h, h.sceneImpl().activeDocumentImpl());
    host::Material* mat = b.addMaterial("Bench");
    host::PaintTexture* tex = b.addTexture(mat, 0, kLayer, kLayer, host::kModeARGB8);
    layer = tex ? tex->activeLayer() : nullptr;
    target = std::make_unique<pigmora::PaintTarget>();
    target->channels[0] = layer;
    target->primary[0] = host::Vector(0.9, 0.2, 0.1);
    target->strength = 0.7;
    target->activeChannel = 0;
    if (!layer || !target->allocateArrays()) return;
    // Surface positions equal pixel positions; the brush covers the whole triangle.
    auto& t = target->triangle(0);
    const float corners[3][2] = {{0, 0}, {kLayer, 0}, {0, kLayer}};
    for (int i = 0; i < 3; ++i) {
      t.v[i].x = corners[i][0];
      t.v[i].y = corners[i][1];
      t.v[i].px = corners[i][0];
      t.v[i].py = corners[i][1];
    }
    host::Settings settings;
    settings.setSpline(pigmora::kSettingFalloffCurve, host::Spline{{{0, 1}, {0.5, 0.8}, {1, 0}}});
    pigmora::buildFalloffTable(target->falloff, target->falloffSignature, &settings, 3000.0);
    target->falloff.centre[0] = 600.f;
    target->falloff.centre[1] = 600.f;
    for (int32_t y = 0; y < kLayer; ++y) pixels += kLayer - y;
  }
  ~BaryScene() { target.reset(); }
};

hostapp::EmbeddedHost* gHost = nullptr;

void BM_BaryFalloffARGB8(benchmark::State& state) {
  BaryScene scene(*gHost);
  if (!scene.layer || !scene.target->falloff.enabled) {
    state.SkipWithError("no layer");
    return;
  }
  for (auto _ : state) pigmora::rasterize_bary(nullptr, *scene.target, 0, 0);
  state.SetItemsProcessed(state.iterations() * scene.pixels);
  state.SetBytesProcessed(state.iterations() * scene.pixels * 4);
}

// The same rows read and written by memcpy: the floor under any rasteriser.
void BM_MemcpyTriangleARGB8(benchmark::State& state) {
  std::vector<uint8_t> layer(static_cast<size_t>(kLayer) * kLayer * 4, 1), row(kLayer * 4);
  int64_t pixels = 0;
  for (int32_t y = 0; y < kLayer; ++y) pixels += kLayer - y;
  for (auto _ : state) {
    for (int32_t y = 0; y < kLayer; ++y) {
      uint8_t* at = &layer[static_cast<size_t>(y) * kLayer * 4];
      const size_t bytes = static_cast<size_t>(kLayer - y) * 4;
      std::memcpy(row.data(), at, bytes);
      benchmark::DoNotOptimize(row.data());
      std::memcpy(at, row.data(), bytes);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * pixels * 4);
}

BENCHMARK(BM_BlendSpan)
    ->Arg(host::kModeRGB8)
    ->Arg(host::kModeARGB8)
    ->Arg(host::kModeARGB16)
    ->Arg(host::kModeARGBF);
BENCHMARK(BM_MemcpySpan)
    ->Arg(host::kModeRGB8)
    ->Arg(host::kModeARGB8)
    ->Arg(host::kModeARGB16)
    ->Arg(host::kModeARGBF);
BENCHMARK(BM_BaryFalloffARGB8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyTriangleARGB8)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  hostapp::EmbeddedHost h;
  std::string error;
  if (!h.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  gHost = &h;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  h.unload();
  return 0;
}
