// Megascans descriptions: loading a library of 200 asset folders (listing, reading, parsing) and
// parsing the same texts from memory, beside a plain read of the same files measured in the
// same run. Reports the host memory held at the peak of a pass.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "lib/megascan/megascanimporter.h"

namespace {

namespace fs = std::filesystem;
constexpr int kAssets = 200;

// A description the size of a real surface asset's (about 6 KB): nine maps, the albedo in three
// resolutions and two formats, tags and previews.
std::string description(int n) {
  const std::string id = "bench" + std::to_string(n);
  std::string components;
  const char* types[] = {"albedo",       "normal", "bump",   "gloss",   "roughness",
                         "displacement", "ao",     "cavity", "specular"};
  for (const char* type : types) {
    std::string resolutions;
    for (const char* res : {"2048x2048", "4096x4096", "8192x8192"}) {
      std::string formats;
      for (const char* ext : {"jpg", "exr"})
        formats += std::string(formats.empty() ? "" : ",") + "{\"mimeType\": \"image/" +
                   (ext[0] == 'j' ? "jpeg" : "x-exr") + "\", \"uri\": \"" + id + "_" + res + "_" +
                   type + "." + ext + "\"}";
      resolutions += std::string(resolutions.empty() ? "" : ",") + "{\"resolution\": \"" + res +
                     "\", \"formats\": [" + formats + "]}";
    }
    components += std::string(components.empty() ? "" : ",") + "{\"type\": \"" + type +
                  "\", \"name\": \"" + type + "\", \"colorSpace\": \"Linear\", " +
                  "\"averageColor\": \"#7F7F7F\", \"uris\": [{\"physicalSize\": \"2x2\", " +
                  "\"resolutions\": [" + resolutions + "]}]}";
  }
  return "{\"id\": \"" + id + "\", \"name\": \"Bench Surface " + std::to_string(n) +
         "\", \"categories\": [\"surface\", \"rock\", \"cliff\"], \"tags\": [\"grey\", " +
         "\"rough\", \"natural\", \"outdoor\", \"stone\"], \"environment\": [\"mountain\"], " +
         "\"previews\": {\"relativeSize\": \"2x2\", \"images\": [{\"resolution\": \"360x360\", " +
         "\"uri\": \"" + id + "_Preview.png\", \"tags\": [\"thumb\"]}]}, \"components\": [" +
         components + "], \"brushes\": []}";
}

struct Session {
  Session() {
    std::string error;
    ok = host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error);
    library = fs::temp_directory_path() / ("pigmora_megascan_bench_" + std::to_string(getpid()));
    fs::remove_all(library);
    for (int i = 0; i < kAssets; ++i) {
      const fs::path folder = library / ("asset_" + std::to_string(1000 + i));
      fs::create_directories(folder);
      texts.push_back(description(i));
      std::ofstream(folder / "asset.json") << texts.back();
      bytes += static_cast<int64_t>(texts.back().size());
    }
  }
  ~Session() { fs::remove_all(library); }

  hostapp::EmbeddedHost host;
  fs::path library;
  std::vector<std::string> texts;
  int64_t bytes = 0;
  bool ok = false;
};

Session& session() {
  static Session s;
  return s;
}

void report(benchmark::State& state, int64_t peak) {
  Session& s = session();
  state.SetBytesProcessed(state.iterations() * s.bytes);
  state.SetItemsProcessed(state.iterations() * kAssets);
  state.counters["host_peak_KB"] = static_cast<double>(peak) / 1024.0;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["process_peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Runs one pass per iteration; a pass answers false when an asset did not load. Reports the
// most host memory a pass held beyond what was held before it.
template <class Pass>
void measure(benchmark::State& state, Pass pass) {
  Session& s = session();
  if (!s.ok) return state.SkipWithError("the plug-in did not start");
  int64_t peak = 0;
  for (auto _ : state) {
    s.host.memory().resetPeak();
    const int64_t before = s.host.memory().liveBytes();
    if (!pass(s)) return state.SkipWithError("an asset did not load");
    peak = s.host.memory().peakBytes() - before;
  }
  report(state, peak);
}

// The whole library as the view loads it: every entry listed, folders loaded, assets kept.
void BM_LoadLibrary(benchmark::State& state) {
  measure(state, [](Session& s) {
    pigmora::OwnedArray<pigmora::MegascanAsset> assets;
    for (const std::string& entry : s.host.files().listDirectory(s.library.string())) {
      const std::string folder = host::joinPath(s.library.string(), entry);
      if (!s.host.files().isDirectory(folder)) continue;
      pigmora::MegascanAsset* a = assets.emplace();
      if (!a || !a->load(folder)) return false;
    }
    benchmark::DoNotOptimize(assets.size());
    return assets.size() == kAssets;
  });
}
BENCHMARK(BM_LoadLibrary)->Unit(benchmark::kMillisecond);

// The same texts parsed from memory, one asset at a time.
void BM_ParseTexts(benchmark::State& state) {
  measure(state, [](Session& s) {
    for (const std::string& text : s.texts) {
      pigmora::MegascanAsset a;
      if (!a.parse(text.c_str())) return false;
    }
    return true;
  });
}
BENCHMARK(BM_ParseTexts)->Unit(benchmark::kMillisecond);

// Baseline: reading the same 200 files whole, without parsing.
void BM_ReadFilesOnly(benchmark::State& state) {
  Session& s = session();
  for (auto _ : state) {
    int64_t total = 0;
    for (const auto& entry : fs::directory_iterator(s.library)) {
      std::string text;
      s.host.files().readFile((entry.path() / "asset.json").string(), text);
      total += static_cast<int64_t>(text.size());
    }
    benchmark::DoNotOptimize(total);
  }
  report(state, 0);
}
BENCHMARK(BM_ReadFilesOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
