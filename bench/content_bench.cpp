// Filling the content browser's grids: 1000 stamp images into 128 x 128 previews, and a
// Megascans library of 200 asset folders with 2K JPEG albedos into 256 x 256 previews. Beside
// them, decoding the same files without making previews, measured in the same run. Reports the
// host memory held at the peak of a pass and what the grid keeps afterwards.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/plain_bitmap.h"
#include "lib/gui/megascanviewarea.h"
#include "lib/gui/texturesviewarea.h"
#include "plugin/preferences.h"

namespace {

namespace fs = std::filesystem;
constexpr int kStamps = 1000;
constexpr int kAssets = 200;
constexpr int32_t kStampSize = 256;
constexpr int32_t kAlbedoSize = 2048;

struct Session {
  Session() {
    std::string error;
    ok = host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error);
    if (!ok) return;
    root = fs::temp_directory_path() / ("pigmora_content_bench_" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "stamps");
    fs::create_directories(root / "megascans");
    const fs::path stamp = root / "stamp.png", albedo = root / "albedo.jpg";
    ok = write(stamp, kStampSize) && write(albedo, kAlbedoSize);
    // The files are hard links to one picture each: the disk cache holds one copy, as a warm
    // cache holds a library a user browses often.
    for (int i = 0; ok && i < kStamps; ++i)
      fs::create_hard_link(stamp, root / "stamps" / ("stamp_" + std::to_string(1000 + i) + ".png"));
    for (int i = 0; ok && i < kAssets; ++i) {
      const std::string id = "asset_" + std::to_string(1000 + i);
      const fs::path folder = root / "megascans" / id;
      fs::create_directories(folder);
      fs::create_hard_link(albedo, folder / (id + "_2K_Albedo.jpg"));
      std::ofstream(folder / (id + ".json"))
          << "{\"id\": \"" << id << "\", \"name\": \"" << id << "\", \"components\": [{\"type\": "
          << "\"albedo\", \"name\": \"Albedo\", \"colorSpace\": \"sRGB\", \"averageColor\": "
          << "\"#7F7F7F\", \"uris\": [{\"physicalSize\": \"2x2\", \"resolutions\": [{"
          << "\"resolution\": \"2048x2048\", \"formats\": [{\"mimeType\": \"image/jpeg\", "
          << "\"uri\": \"" << id << "_2K_Albedo.jpg\"}]}]}]}]}";
    }
    host::Settings* prefs = pigmora::preferencesContainer();
    ok = ok && prefs;
    if (!ok) return;
    prefs->setFilename(pigmora::kPrefStampFolder, (root / "stamps").string());
    prefs->setFilename(pigmora::kPrefMegascansFolder, (root / "megascans").string());
  }
  ~Session() {
    if (!root.empty()) fs::remove_all(root);
  }

  bool write(const fs::path& path, int32_t size) {
    hostapp::PlainBitmap bmp(host.memory());
    if (!bmp.init(size, size, 24)) return false;
    for (int32_t y = 0; y < size; ++y)
      for (int32_t x = 0; x < size; ++x)
        bmp.setPixel(x, y, static_cast<uint8_t>(x * 255 / size),
                     static_cast<uint8_t>((x ^ y) & 255), static_cast<uint8_t>(y * 255 / size));
    std::string error;
    return hostapp::savePlainBitmap(bmp, path.string(), error);
  }

  hostapp::EmbeddedHost host;
  fs::path root;
  bool ok = false;
};

Session& session() {
  static Session s;
  return s;
}

void report(benchmark::State& state, int64_t items, int64_t peak, int64_t kept) {
  state.SetItemsProcessed(state.iterations() * items);
  state.counters["host_peak_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.counters["host_kept_MB"] = static_cast<double>(kept) / (1024.0 * 1024.0);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["process_peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// One population per iteration of a fresh area; the most host memory a pass held beyond what was
// held before it, and what the filled grid keeps.
template <class Area>
void populate(benchmark::State& state, int64_t items, Area make) {
  Session& s = session();
  if (!s.ok) return state.SkipWithError("the sample library could not be made");
  int64_t peak = 0, kept = 0;
  for (auto _ : state) {
    s.host.memory().resetPeak();
    const int64_t before = s.host.memory().liveBytes();
    auto area = make();
    area->init();
    if (!area->layout() || area->layout()->count() != items)
      return state.SkipWithError("not every image became a cell");
    peak = s.host.memory().peakBytes() - before;
    kept = s.host.memory().liveBytes() - before;
  }
  report(state, items, peak, kept);
}

void BM_PopulateStamps(benchmark::State& state) {
  populate(state, kStamps,
           [] { return std::make_unique<pigmora::TexturesViewArea>(pigmora::kTexturesStamps); });
}
BENCHMARK(BM_PopulateStamps)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PopulateMegascans(benchmark::State& state) {
  populate(state, kAssets, [] { return std::make_unique<pigmora::MegaScanViewArea>(); });
}
BENCHMARK(BM_PopulateMegascans)->Unit(benchmark::kMillisecond)->Iterations(1);

// Baseline: decoding the same files, nothing scaled or kept.
void decodeOnly(benchmark::State& state, const fs::path& folder, bool jpegOnly, int64_t items) {
  Session& s = session();
  if (!s.ok) return state.SkipWithError("the sample library could not be made");
  for (auto _ : state) {
    int64_t decoded = 0;
    hostapp::PlainBitmap bmp(s.host.memory());
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
      const std::string p = e.path().string();
      if (!e.is_regular_file() || (jpegOnly && e.path().extension() != ".jpg")) continue;
      decoded += bmp.load(p) == host::kImageOk;
    }
    if (decoded != items) return state.SkipWithError("a file did not decode");
  }
  report(state, items, 0, 0);
}

void BM_DecodeStampsOnly(benchmark::State& state) {
  decodeOnly(state, session().root / "stamps", false, kStamps);
}
BENCHMARK(BM_DecodeStampsOnly)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_DecodeAlbedosOnly(benchmark::State& state) {
  decodeOnly(state, session().root / "megascans", true, kAssets);
}
BENCHMARK(BM_DecodeAlbedosOnly)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
