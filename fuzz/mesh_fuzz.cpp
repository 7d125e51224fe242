// Builds a polygon object from arbitrary bytes (points, polygons and UVs drawn from ordinary
// values and hostile ones: NaN, infinities, 1e308, degenerate and out-of-range corners) and runs
// what reads meshes and UVs over it: the bleed, the UV islands, and a stroke of the paint brush
// through the stroke engine into the rasterisers. Each must finish and give back its memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/sculpt/stroke_engine.h"
#include "lib/bleed.h"
#include "plugin/uvislands.h"

namespace {

constexpr int32_t kPaintBrush = 1035414;

hostapp::EmbeddedHost* startHost() {
  static hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) std::abort();
  return &host;
}

double value(FuzzedDataProvider& in, double scale) {
  static const double kSpecial[] = {0.0,
                                    1.0,
                                    -1.0,
                                    0.5,
                                    1e308,
                                    -1e308,
                                    1e-300,
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::quiet_NaN()};
  if (in.ConsumeBool()) return in.PickValueInArray(kSpecial);
  return in.ConsumeFloatingPointInRange(-scale, scale);
}

host::Vector vec(FuzzedDataProvider& in, double scale, bool flat) {
  return {value(in, scale), value(in, scale), flat ? 0.0 : value(in, scale)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static hostapp::EmbeddedHost* host = startHost();
  FuzzedDataProvider in(data, size);
  hostapp::MeshData mesh;
  const int32_t points = in.ConsumeIntegralInRange<int32_t>(0, 48);
  for (int32_t i = 0; i < points; ++i) mesh.points.push_back(vec(in, 100, false));
  const int32_t polygons = in.ConsumeIntegralInRange<int32_t>(1, 48);
  auto corner = [&] { return in.ConsumeIntegralInRange<int32_t>(-2, points + 2); };
  for (int32_t i = 0; i < polygons; ++i) {
    const int32_t a = corner(), b = corner(), c = corner();
    const int32_t d = in.ConsumeBool() ? c : corner();
    mesh.polygons.push_back({a, b, c, d});
    mesh.uvs.push_back({vec(in, 2, true), vec(in, 2, true), vec(in, 2, true), vec(in, 2, true)});
  }
  static const int32_t kModes[] = {host::kModeARGB8, host::kModeGrey8, host::kModeAGrey16,
                                   host::kModeRGBF,  host::kModeARGBF, host::kModeAlpha};
  const int32_t mode = in.PickValueInArray(kModes);
  const int32_t side = in.ConsumeIntegralInRange<int32_t>(1, 40);
  const int64_t bleed = in.ConsumeIntegralInRange<int64_t>(-1, 4);
  const host::Vector from = vec(in, 120, false), to = vec(in, 120, false);
  const double radius = std::abs(value(in, 50));

  hostapp::DocumentImpl* doc = host->sceneImpl().newDocument();
  host->sceneImpl().setActiveDocument(doc);
  {
    hostapp::SceneBuilder builder(*host, doc);
    host::PolygonObject* obj = builder.addMesh("Mesh", mesh);
    host::Material* mat = builder.addMaterial("Paint");
    if (obj && mat) {
      host::PaintTexture* tex = builder.addTexture(mat, 0, side, side, mode);
      builder.addTextureTag(obj, mat);
      if (tex) pigmora::BleedLayer(tex->firstLayer(), nullptr, obj, bleed);
      auto neighbour = host->scene().buildNeighbour(obj, nullptr);
      pigmora::UVIslandList islands;
      pigmora::findUVIslands(islands, static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)), obj,
                             neighbour.get(), nullptr, nullptr);
      doc->setActiveObject(obj);
      doc->data().setInt32(host::kDocMode, 7);
      if (host->sculptImpl().activateTool(doc, kPaintBrush)) {
        hostapp::StrokeInput stroke;
        stroke.path = {from, to};
        stroke.radius = std::isfinite(radius) && radius > 1e-6 ? radius : 1.0;
        host->sculptImpl().runStroke(doc, stroke);
      }
    }
  }
  host->sceneImpl().closeDocument(doc);
  return 0;
}
