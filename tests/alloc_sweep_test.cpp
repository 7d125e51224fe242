// Allocation failure on every path of a representative scenario: it runs once to count its
// allocations N, then again with allocation k refused, for every k from 1 to N. No run may crash or
// leak, and no layer may be corrupted: undoing everything gives every layer back as it started,
// or, where the refused allocation was an undo step (which then records nothing until the next
// one begins), every layer is either unchanged or exactly as the run without failures painted it.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "host/binding.h"
#include "hostapp/core/registry.h"
#include "hostapp/scene/document.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/sculpt/stroke_engine.h"
#include "lib/host_map.h"
#include "plugin/paintchannels.h"
#include "plugin/uvislands.h"
#include "support/layer_snapshot.h"
#include "support/plugin_host.h"

namespace {

constexpr int32_t kPaintBrush = 1035414;
constexpr int32_t kStampOn = 10601;
// Bleed, fill the current layer, fill the UV islands.
constexpr int32_t kCommands[] = {1037976, 1037977, 1037978};

using Pixels = LayerPixels;

struct Outcome {
  int64_t allocations = 0;
  bool undoneExactly = false;
  std::vector<Pixels> painted;  // every layer after the work, before undoing it
  std::vector<Pixels> start;
};

// The scenario, in a host of its own, with allocation `failAt` (counted from the start of the
// work, after the plug-in has started) refused; 0 refuses none.
Outcome runScenario(int64_t failAt) {
  Outcome outcome;
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) {
    ADD_FAILURE() << error;
    return outcome;
  }
  hostapp::DocumentImpl* doc = host.sceneImpl().activeDocumentImpl();
  hostapp::SceneBuilder builder(host, doc);
  host::PolygonObject* obj = builder.addMesh("Card", hostapp::gridMesh(4, 4, 100));
  host::Material* mat = builder.addMaterial("Paint");
  const host::Vector fill(20, 120, 220);
  std::vector<host::PaintTexture*> textures = {
      builder.addTexture(mat, 0, 96, 80, host::kModeARGB8, &fill),
      builder.addTexture(mat, 6, 70, 70, host::kModeGrey16, &fill)};
  builder.addTextureTag(obj, mat);
  if (!obj || !textures[0] || !textures[1]) {
    ADD_FAILURE() << "the scene could not be built";
    return outcome;
  }
  textures[0]->addLayer("Upper", host::kModeARGB8);
  doc->setActiveObject(obj);
  doc->data().setInt32(host::kDocMode, 7);
  host.sculptImpl().activateTool(doc, kPaintBrush);
  host.settings().world()->setInt32(1018, 1000);
  host.sculptImpl()
      .toolData(doc, kPaintBrush)
      ->setFilename(host::kBrushStamp, PIGMORA_DATA_DIR "/brushes/star_stamp.png");
  const std::vector<Pixels> start = layerSnapshot(textures);

  const int64_t before = host.memory().count();
  if (failAt > 0) host.memory().failAt(failAt);
  host::PainterState& painter = host.paintImpl().painter();
  painter.setSelectedTexture(textures[0]);
  for (int i = 0; i < 4; ++i) {
    painter.setPaintAllChannels(i % 2 == 1);
    host.sculptImpl().setParameter(doc, kStampOn, host::Value::ofBool(i == 2));
    hostapp::StrokeInput stroke;
    stroke.path = {{10.0 + 20 * i, 15, 0}, {80, 20.0 + 15 * i, 0}};
    stroke.radius = 9;
    stroke.dabFlags = i == 3 ? 4 : 0;  // the last one blurs
    host.sculptImpl().runStroke(doc, stroke);
  }
  doc->undo();
  doc->redo();
  for (int32_t command : kCommands) host.registration().callCommand(command, 0);
  outcome.allocations = host.memory().count() - before;
  host.memory().failAt(0);
  outcome.painted = layerSnapshot(textures);
  outcome.start = start;

  while (doc->undo()) {
  }
  outcome.undoneExactly = layerSnapshot(textures) == start;
  host.unload();
  return outcome;
}

TEST(AllocationSweep, EveryRefusedAllocationEndsCleanlyAndUndoesExactly) {
  const Outcome clean = runScenario(0);
  ASSERT_GT(clean.allocations, 20) << "the scenario allocates too little to be representative";
  EXPECT_TRUE(clean.undoneExactly);
  const int64_t n = clean.allocations;
  std::cout << "[ sweep    ] N = " << n << " allocations, each refused in turn\n";
  for (int64_t k = 1; k <= n; ++k) {
    const Outcome o = runScenario(k);
    bool sound = o.undoneExactly;
    if (!sound && o.painted.size() == clean.painted.size()) {
      sound = true;
      for (size_t i = 0; i < o.painted.size(); ++i)
        sound = sound && (o.painted[i] == o.start[i] || o.painted[i] == clean.painted[i]);
    }
    EXPECT_TRUE(sound) << "allocation " << k << " of " << n << " refused";
  }
}

// The containers the plug-in keeps in host memory: a refused growth leaves them as they were.
class HostContainers : public PluginHostTest {};

TEST_F(HostContainers, MapKeepsEveryEntryThroughGrowthRemovalAndARefusedGrowth) {
  pigmora::HostMap<int64_t, int32_t> map;
  // 1000 keys force several growths past the 16-slot start at load factor 0.65.
  for (int64_t k = 0; k < 1000; ++k) ASSERT_TRUE(map.insert(k * 7919, static_cast<int32_t>(k)));
  for (int64_t k = 0; k < 1000; k += 2) EXPECT_TRUE(map.erase(k * 7919));
  EXPECT_FALSE(map.erase(-1));
  EXPECT_EQ(map.size(), 500u);
  for (int64_t k = 0; k < 1000; ++k) {
    const int32_t* v = map.find(k * 7919);
    if (k % 2) {
      ASSERT_NE(v, nullptr) << k;
      EXPECT_EQ(*v, k);
    } else {
      EXPECT_EQ(v, nullptr) << k;
    }
  }
  // Fill up to the next growth, then refuse it: the insert fails and nothing is lost.
  int64_t next = 1000;
  host_.memory().failFrom(1);
  while (map.insert(next * 7919, 1)) ++next;
  host_.memory().failFrom(0);
  EXPECT_EQ(map.find(next * 7919), nullptr);
  EXPECT_EQ(map.size(), static_cast<size_t>(500 + next - 1000));
  size_t seen = 0;
  map.forEach([&](int64_t key, int32_t) { seen += key % 7919 == 0; });
  EXPECT_EQ(seen, map.size());
}

TEST_F(HostContainers, IslandsWithoutMemoryAreNoneAndSaySo) {
  host::PolygonObject* obj = builder().addMesh("Card", hostapp::gridMesh(6, 6, 10));
  auto neighbour = host_.scene().buildNeighbour(obj, nullptr);
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  pigmora::UVIslandList list;
  ASSERT_TRUE(pigmora::findUVIslands(list, uvw, obj, neighbour.get(), nullptr, nullptr));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->polygons.size(), 36u);
  // Every allocation from the k-th on is refused: the list is empty, never a part of an island.
  for (int64_t k = 1; k <= 6; ++k) {
    host_.memory().failFrom(k);
    const bool found = pigmora::findUVIslands(list, uvw, obj, neighbour.get(), nullptr, nullptr);
    host_.memory().failFrom(0);
    // The walk needs more than six blocks (bits, materials, the list, the island, its stack,
    // its polygons and borders), so each of these refusals hits it.
    EXPECT_FALSE(found) << k;
    EXPECT_TRUE(list.empty()) << k;
  }
}

}  // namespace
