// Paint undo: tiles saved into steps, restored through the host's undo list, and the host's own
// undo entries for scene changes. Driven through the embedded host as the host would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "host/binding.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"
#include "plugin/rast/rasterize.h"
#include "support/plugin_host.h"

namespace {

using pigmora::PaintUndoStore;
using Pixels = std::vector<uint8_t>;

// Every pixel of a bitmap in its own colour mode, row after row.
Pixels snapshot(host::PaintBitmap* bmp) {
  const size_t rowBytes = size_t(pigmora::bytesPerPixel(bmp->colorMode())) * bmp->width();
  Pixels out(rowBytes * bmp->height());
  for (int32_t y = 0; y < bmp->height(); ++y)
    EXPECT_TRUE(bmp->getPixelRow(0, y, bmp->width(), out.data() + rowBytes * y, bmp->colorMode()));
  return out;
}

// `count` random pixels in a mode; float components stay in [0, 1].
Pixels randomPixels(int32_t mode, int32_t count, std::mt19937& rng) {
  int32_t bits = 0, components = 0;
  EXPECT_TRUE(pigmora::ColorModeInfo(mode, bits, components));
  Pixels out(size_t(bits / 8) * components * count);
  if (bits == 32) {
    std::uniform_real_distribution<float> unit(0.f, 1.f);
    for (size_t i = 0; i < out.size(); i += 4) {
      const float f = unit(rng);
      std::memcpy(&out[i], &f, 4);
    }
  } else {
    for (auto& b : out) b = static_cast<uint8_t>(rng());
  }
  return out;
}

// Writes random pixels into [x0, x0 + w) x [y0, y0 + h); the host clips at the borders.
void paintRect(host::PaintBitmap* bmp, int32_t x0, int32_t y0, int32_t w, int32_t h,
               std::mt19937& rng) {
  for (int32_t y = y0; y < y0 + h; ++y)
    bmp->setPixelRow(x0, y, w, randomPixels(bmp->colorMode(), w, rng).data(), bmp->colorMode());
}

// Saves every tile under the rectangle, as painting does before it writes.
void saveTilesUnder(PaintUndoStore* store, host::PaintBitmap* bmp, int32_t x0, int32_t y0,
                    int32_t w, int32_t h) {
  const int32_t xa = std::max(x0, 0), ya = std::max(y0, 0);
  const int32_t xb = std::min(x0 + w, bmp->width()), yb = std::min(y0 + h, bmp->height());
  for (int32_t ty = ya / 64 * 64; ty < yb; ty += 64)
    for (int32_t tx = xa / 64 * 64; tx < xb; tx += 64) store->saveTile(bmp, tx, ty);
}

TEST(UndoTileKeys, PairColumnsAndRowsIntoDistinctNumbers) {
  EXPECT_EQ(pigmora::tileKey(0, 0), 0u);
  EXPECT_EQ(pigmora::tileKey(0, 1), 1u);
  EXPECT_EQ(pigmora::tileKey(1, 0), 2u);
  EXPECT_EQ(pigmora::tileKey(1, 1), 3u);
  EXPECT_EQ(pigmora::tileKey(0, 2), 4u);
  EXPECT_EQ(pigmora::tileKey(2, 0), 6u);
  // The keys of an n x n block of tiles are exactly 0 .. n^2 - 1.
  const uint32_t n = 300;
  std::vector<bool> seen(n * n, false);
  for (uint32_t ty = 0; ty < n; ++ty)
    for (uint32_t tx = 0; tx < n; ++tx) {
      const uint64_t k = pigmora::tileKey(tx, ty);
      ASSERT_LT(k, uint64_t{n} * n);
      EXPECT_FALSE(seen[k]) << tx << "," << ty;
      seen[k] = true;
    }
}

class UndoTest : public PluginHostTest {
 protected:
  PaintUndoStore* store() { return pigmora::findUndoStore(doc_); }
  // The layer of a new texture in the given mode, filled with random pixels.
  host::PaintBitmap* layer(int32_t width, int32_t height, int32_t mode) {
    auto b = builder();
    host::Material* mat = b.addMaterial("M" + std::to_string(++materials_));
    host::PaintTexture* tex = b.addTexture(mat, 0, width, height, mode);
    EXPECT_NE(tex, nullptr);
    host::PaintBitmap* l = tex ? tex->activeLayer() : nullptr;
    if (l) paintRect(l, 0, 0, width, height, rng_);
    return l;
  }
  // One recorded step that paints a rectangle of the layer.
  void paintStep(host::PaintBitmap* l, int32_t x0, int32_t y0, int32_t w, int32_t h) {
    pigmora::beginStep(doc_);
    saveTilesUnder(store(), l, x0, y0, w, h);
    paintRect(l, x0, y0, w, h, rng_);
    EXPECT_TRUE(pigmora::endStep(doc_));
  }
  // Tells the undo hook directly, as the host does when one of its entries is undone or redone.
  bool tellHook(const std::string& text, bool redo) {
    host::SceneHookUndoData data{&text, redo};
    return doc_->sceneHook(pigmora::kUndoHookId)->message(host::kMessageSceneHookUndo, &data);
  }
  std::vector<hostapp::SpecialEvent> interfaceEvents() {
    std::vector<hostapp::SpecialEvent> out;
    for (const auto& e : host_.events().specials())
      if (e.id == pigmora::kEventInterfaceUndo || e.id == pigmora::kEventInterfaceRedo)
        out.push_back(e);
    return out;
  }

  std::mt19937 rng_{20240611};
  int materials_ = 0;
};

TEST_F(UndoTest, RegistersTheMessagePluginThenTheUndoHookBeforeThePreferences) {
  const auto& plugins = host_.registration().plugins();
  auto indexOf = [&plugins](int32_t id) {
    for (size_t i = 0; i < plugins.size(); ++i)
      if (plugins[i].id == id) return static_cast<int>(i);
    return -1;
  };
  const int message = indexOf(1036254), hook = indexOf(1037022), prefs = indexOf(1037935);
  ASSERT_GE(message, 0);
  ASSERT_GE(hook, 0);
  EXPECT_LT(message, hook);
  EXPECT_LT(hook, prefs);
  const hostapp::RegisteredPlugin& m = plugins[size_t(message)];
  EXPECT_EQ(m.kind, hostapp::PluginKind::kMessage);
  EXPECT_EQ(m.name, "Paint Message");
  EXPECT_EQ(m.info, 0);
  EXPECT_EQ(m.message->getTimer(), 0);
  EXPECT_TRUE(m.message->coreMessage(1037988, host::Settings()));
  const hostapp::RegisteredPlugin& h = plugins[size_t(hook)];
  EXPECT_EQ(h.kind, hostapp::PluginKind::kSceneHook);
  EXPECT_EQ(h.name, "QOR Pigmora");
  EXPECT_EQ(h.info, 0x20000004);
  EXPECT_EQ(h.priority, 5000);
  EXPECT_EQ(h.diskLevel, 1);
  EXPECT_NE(store(), nullptr) << "every document gets its undo hook";
}

TEST_F(UndoTest, AHookWithoutMemoryForItsStoreIsLeftOutAndPaintingRecordsNothing) {
  // The hook's node data is the first allocation of a new document, its store the second.
  host_.memory().failAt(2);
  hostapp::DocumentImpl* doc = host_.sceneImpl().newDocument();
  EXPECT_EQ(doc->sceneHook(pigmora::kUndoHookId), nullptr);
  EXPECT_EQ(pigmora::findUndoStore(doc), nullptr);
  pigmora::beginStep(doc);
  EXPECT_FALSE(pigmora::endStep(doc));
  EXPECT_FALSE(pigmora::addChannelChangeEntry(doc, 3));
  EXPECT_EQ(doc->undoList().undoCount(), 0u);
}

TEST_F(UndoTest, PaintingTwiceInOneStepUndoesToTheStateBeforeTheStep) {
  host::PaintBitmap* l = layer(128, 128, host::kModeARGB8);
  auto* tex = static_cast<hostapp::PaintLayerImpl*>(l)->owner();
  const Pixels before = snapshot(l);

  pigmora::beginStep(doc_);
  EXPECT_TRUE(store()->saveTile(l, 10, 10));
  EXPECT_TRUE(store()->saveTile(l, 70, 5));
  paintRect(l, 0, 0, 100, 50, rng_);
  // The second dab covers the first; its tiles are already in the step.
  EXPECT_FALSE(store()->saveTile(l, 10, 10));
  EXPECT_FALSE(store()->saveTile(l, 127, 63));
  paintRect(l, 20, 10, 100, 40, rng_);
  ASSERT_TRUE(pigmora::endStep(doc_));
  EXPECT_EQ(doc_->sceneHook(pigmora::kUndoHookId)->data().getString(9996), "SculptPaintUndo");
  ASSERT_EQ(store()->undoCount(), 1u);
  EXPECT_EQ(store()->undoStep(0)->tileCount(), 2u);
  const Pixels painted = snapshot(l);
  ASSERT_NE(painted, before);

  tex->clearChanges();
  const size_t redraws = host_.events().redraws().size();
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(snapshot(l), before);
  // One changed-rectangle notice per tile, then one redraw.
  std::set<std::tuple<int, int, int, int, int>> rects;
  for (const auto& c : tex->changes()) rects.insert({c.xmin, c.ymin, c.xmax, c.ymax, c.flags});
  EXPECT_EQ(rects, (std::set<std::tuple<int, int, int, int, int>>{{0, 0, 64, 64, 286},
                                                                  {64, 0, 128, 64, 286}}));
  ASSERT_EQ(host_.events().redraws().size(), redraws + 1);
  EXPECT_EQ(host_.events().redraws().back(), 1290);
  EXPECT_EQ(store()->undoCount(), 0u);
  EXPECT_EQ(store()->redoCount(), 1u);

  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(snapshot(l), painted);
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(snapshot(l), before);
}

TEST_F(UndoTest, ANewStepAfterAnUndoLeavesNothingToRedo) {
  host::PaintBitmap* l = layer(64, 64, host::kModeARGB8);
  paintStep(l, 0, 0, 30, 30);
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(store()->redoCount(), 1u);
  paintStep(l, 10, 10, 30, 30);
  EXPECT_EQ(store()->redoCount(), 0u);
  const Pixels now = snapshot(l);
  EXPECT_FALSE(doc_->redo()) << "the host's redo list went with the new group";
  // Even when told, the hook has nothing to redo.
  EXPECT_TRUE(tellHook("SculptPaintUndo", true));
  EXPECT_EQ(snapshot(l), now);
  EXPECT_EQ(store()->undoCount(), 1u);
}

TEST_F(UndoTest, ABorderTileOfAnOddSizedBitmapRoundTrips) {
  for (int32_t mode : {host::kModeARGB16, host::kModeGrey8, host::kModeARGBF}) {
    host::PaintBitmap* l = layer(100, 70, mode);
    const Pixels before = snapshot(l);
    pigmora::beginStep(doc_);
    EXPECT_FALSE(store()->saveTile(l, 100, 0)) << "no tile starts outside the bitmap";
    EXPECT_FALSE(store()->saveTile(l, -1, 0));
    ASSERT_TRUE(store()->saveTile(l, 99, 69));
    const pigmora::PaintUndoTile* tile = store()->pending()->tile(0);
    EXPECT_EQ(std::make_tuple(tile->originX(), tile->originY(), tile->column(), tile->row()),
              std::make_tuple(int64_t{64}, int64_t{64}, 1, 1));
    EXPECT_EQ(tile->bufferSize(), int64_t{pigmora::bytesPerPixel(mode)} * 4096);
    paintRect(l, 64, 64, 64, 64, rng_);  // 36 x 6 pixels land, the rest is dropped
    ASSERT_TRUE(pigmora::endStep(doc_));
    const Pixels painted = snapshot(l);
    ASSERT_NE(painted, before);
    ASSERT_TRUE(doc_->undo());
    EXPECT_EQ(snapshot(l), before) << "mode " << mode;
    ASSERT_TRUE(doc_->redo());
    EXPECT_EQ(snapshot(l), painted) << "mode " << mode;
  }
}

TEST_F(UndoTest, ChannelAndLayerEntriesPostInterfaceEventsAndTouchNoPixels) {
  host::Node* hook = doc_->sceneHook(pigmora::kUndoHookId);
  ASSERT_TRUE(pigmora::addChannelChangeEntry(doc_, 0));
  EXPECT_EQ(hook->data().getString(9996), "SculptPaintUndo_ChannelChange_0");
  ASSERT_TRUE(doc_->undo());
  ASSERT_TRUE(doc_->redo());
  EXPECT_TRUE(interfaceEvents().empty()) << "channel number 0 posts nothing";

  ASSERT_TRUE(pigmora::addChannelChangeEntry(doc_, 12));
  ASSERT_TRUE(pigmora::addLayerChangeEntry(doc_, "Background added"));
  EXPECT_EQ(hook->data().getString(9996), "SculptPaintUndo_LayerChange_Background added");
  ASSERT_TRUE(pigmora::addLayerChangeEntry(doc_, ""));
  ASSERT_TRUE(doc_->undo());  // the empty layer text: nothing
  ASSERT_TRUE(doc_->undo());  // layer change
  ASSERT_TRUE(doc_->undo());  // channel 12
  ASSERT_TRUE(doc_->redo());
  ASSERT_TRUE(doc_->redo());
  const auto events = interfaceEvents();
  ASSERT_EQ(events.size(), 4u);
  auto is = [](const hostapp::SpecialEvent& e, int32_t id, int64_t p1, int64_t p2) {
    return e.id == id && e.p1 == p1 && e.p2 == p2;
  };
  EXPECT_TRUE(is(events[0], 1037988, 2, 0));
  EXPECT_TRUE(is(events[1], 1037988, 1, 12));
  EXPECT_TRUE(is(events[2], 1037990, 1, 12));
  EXPECT_TRUE(is(events[3], 1037990, 2, 0));

  // Texts that merely resemble an entry's.
  EXPECT_TRUE(tellHook("SculptPaintUndo_ChannelChange_-4", false));
  EXPECT_TRUE(tellHook("SculptPaintUndo_ChannelChange_7x", false));
  EXPECT_TRUE(tellHook("OtherUndo_ChannelChange_7", false));
  EXPECT_EQ(interfaceEvents().size(), 4u);
  EXPECT_EQ(store()->undoCount() + store()->redoCount(), 0u);
  const auto& redraws = host_.events().redraws();
  EXPECT_EQ(std::count(redraws.begin(), redraws.end(), 1290), 0);
}

TEST_F(UndoTest, UndoDepthThreeKeepsTheNewestFourSteps) {
  host_.settings().world()->setInt32(host::kWorldUndoDepth, 3);
  host::PaintBitmap* l = layer(64 * 5, 64, host::kModeARGB8);
  for (int32_t i = 0; i < 5; ++i) paintStep(l, 64 * i, 0, 64, 64);  // step i saves column i
  ASSERT_EQ(store()->undoCount(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(store()->undoStep(i)->tile(0)->column(), int32_t(i) + 1);
  EXPECT_EQ(store()->stepCounter(), 4);
}

TEST_F(UndoTest, WithoutHostSettingsTheDepthIsTen) {
  host::PaintBitmap* l = layer(64, 64, host::kModeARGB8);
  host_.settings().setAvailable(false);
  for (int32_t i = 0; i < 12; ++i) paintStep(l, 0, 0, 8, 8);
  host_.settings().setAvailable(true);
  EXPECT_EQ(store()->undoCount(), 11u);
}

TEST_F(UndoTest, AStepWithoutMemoryReportsStopAndRecordsNothingUntilTheNextBegin) {
  host::PaintBitmap* l = layer(64, 64, host::kModeARGB8);
  host_.memory().failAt(1);
  store()->beginStep();
  ASSERT_FALSE(host_.events().debug().empty());
  EXPECT_EQ(host_.events().debug().back().rfind("Stop", 0), 0u);
  EXPECT_EQ(store()->pending(), nullptr);
  EXPECT_FALSE(store()->saveTile(l, 0, 0));
  const size_t groups = doc_->undoList().undoCount();
  EXPECT_FALSE(pigmora::endStep(doc_));
  EXPECT_EQ(doc_->undoList().undoCount(), groups) << "no host entry without a step";

  store()->beginStep();
  ASSERT_NE(store()->pending(), nullptr);
  // The tile record and then its buffer fail: neither is saved, and nothing leaks.
  const int64_t live = host_.memory().live();
  host_.memory().failAt(1);
  EXPECT_FALSE(store()->saveTile(l, 0, 0));
  host_.memory().failAt(2);
  EXPECT_FALSE(store()->saveTile(l, 0, 0));
  EXPECT_EQ(host_.memory().live(), live);
  EXPECT_TRUE(store()->saveTile(l, 0, 0));
  EXPECT_EQ(store()->pending()->tileCount(), 1u);
}

TEST_F(UndoTest, TheTilePoolHandsBackFreedBuffersAndKeepsNoMoreThanItsLimit) {
  const int64_t tileBytes = int64_t{4} * pigmora::kUndoTilePixels;  // one 8-bit ARGB tile
  const int64_t live = host_.memory().live();
  {
    pigmora::TileBufferPool pool;
    EXPECT_EQ(pool.take(tileBytes), nullptr);
    auto* a = static_cast<uint8_t*>(host::allocate(size_t(tileBytes)));
    ASSERT_NE(a, nullptr);
    pool.give(a, tileBytes);
    EXPECT_EQ(pool.keptBytes(), tileBytes);
    EXPECT_EQ(pool.take(2 * tileBytes), nullptr) << "buffers go only to tiles of their size";
    EXPECT_EQ(pool.take(tileBytes), a);
    EXPECT_EQ(pool.keptBytes(), 0);

    // Fill the pool to 64 MiB: the next buffer is freed, not kept.
    const int64_t fit = pigmora::TileBufferPool::kLimitBytes / tileBytes;
    pool.give(a, tileBytes);
    for (int64_t i = 1; i < fit; ++i)
      pool.give(static_cast<uint8_t*>(host::allocate(size_t(tileBytes))), tileBytes);
    EXPECT_EQ(pool.keptBytes(), pigmora::TileBufferPool::kLimitBytes);
    pool.give(static_cast<uint8_t*>(host::allocate(size_t(tileBytes))), tileBytes);
    EXPECT_EQ(pool.keptBytes(), pigmora::TileBufferPool::kLimitBytes);
    EXPECT_EQ(host_.memory().live() - live, fit) << "one live block per kept buffer";

    // A larger step lets the pool keep that much; a smaller one never lowers the limit, and no
    // step raises it past the ceiling.
    pool.allowFor(pigmora::TileBufferPool::kLimitBytes + tileBytes);
    pool.allowFor(tileBytes);
    EXPECT_EQ(pool.limitBytes(), pigmora::TileBufferPool::kLimitBytes + tileBytes);
    pool.give(static_cast<uint8_t*>(host::allocate(size_t(tileBytes))), tileBytes);
    EXPECT_EQ(pool.keptBytes(), pigmora::TileBufferPool::kLimitBytes + tileBytes);
    pool.allowFor(int64_t{8} << 30);
    EXPECT_EQ(pool.limitBytes(), pigmora::TileBufferPool::kCeilingBytes);
  }
  EXPECT_EQ(host_.memory().live(), live) << "the pool frees what it keeps";
}

TEST_F(UndoTest, ANewStepSavesIntoTheBuffersOfTheStepThatWent) {
  host_.settings().world()->setInt32(host::kWorldUndoDepth, 1);
  host::PaintBitmap* l = layer(256, 256, host::kModeARGBF);
  const Pixels before = snapshot(l);
  paintStep(l, 0, 0, 256, 256);
  paintStep(l, 0, 0, 256, 256);
  const int64_t live = host_.memory().live();
  // Each further step lets the oldest one go; its sixteen tiles take the freed buffers.
  for (int i = 0; i < 4; ++i) paintStep(l, 0, 0, 256, 256);
  EXPECT_LE(host_.memory().live(), live + 4096) << "tile buffers are reused, not allocated anew";
  const Pixels last = snapshot(l);
  ASSERT_TRUE(store()->undo());
  ASSERT_TRUE(store()->undo());
  EXPECT_FALSE(store()->undo());
  EXPECT_NE(snapshot(l), before);
  ASSERT_TRUE(store()->redo());
  ASSERT_TRUE(store()->redo());
  EXPECT_EQ(snapshot(l), last);
}

TEST_F(UndoTest, TilesOfADeletedBitmapAreSkipped) {
  host::PaintBitmap* kept = layer(64, 64, host::kModeARGB8);
  auto gone = std::make_unique<hostapp::PaintTextureImpl>(host_.memory(), "gone.tif");
  gone->setFormat(64, 64, host::kModeARGB8);
  host::PaintBitmap* goneLayer = gone->addLayer("Background", host::kModeARGB8);
  ASSERT_NE(goneLayer, nullptr);
  const Pixels before = snapshot(kept);

  pigmora::beginStep(doc_);
  ASSERT_TRUE(store()->saveTile(goneLayer, 0, 0));
  ASSERT_TRUE(store()->saveTile(kept, 0, 0));
  paintRect(goneLayer, 0, 0, 64, 64, rng_);
  paintRect(kept, 0, 0, 64, 64, rng_);
  ASSERT_TRUE(pigmora::endStep(doc_));
  const Pixels painted = snapshot(kept);
  gone.reset();

  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(snapshot(kept), before);
  ASSERT_EQ(store()->redoCount(), 1u);
  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(snapshot(kept), painted);
}

TEST_F(UndoTest, RandomPaintingUndoesAndRedoesBitForBit) {
  const int32_t modes[] = {1, 2, 3, 4, 5, 18, 19, 20, 21, 34, 35, 36, 37};
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int32_t lo, int32_t hi) {
      return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    std::vector<host::PaintBitmap*> layers;
    for (int i = 0; i < 4; ++i)
      layers.push_back(layer(pick(1, 300), pick(1, 300), modes[pick(0, 12)]));
    auto state = [&layers] {
      std::vector<Pixels> s;
      for (auto* l : layers) s.push_back(snapshot(l));
      return s;
    };
    std::vector<std::vector<Pixels>> states{state()};
    const int steps = 3;
    for (int s = 0; s < steps; ++s) {
      pigmora::beginStep(doc_);
      for (int k = pick(1, 12); k > 0; --k) {
        host::PaintBitmap* l = layers[size_t(pick(0, 3))];
        const int32_t x = pick(-40, l->width()), y = pick(-40, l->height());
        const int32_t w = pick(1, 150), h = pick(1, 150);
        saveTilesUnder(store(), l, x, y, w, h);
        paintRect(l, x, y, w, h, rng);
      }
      ASSERT_TRUE(pigmora::endStep(doc_));
      states.push_back(state());
    }
    for (int s = steps - 1; s >= 0; --s) {
      ASSERT_TRUE(doc_->undo());
      ASSERT_EQ(state(), states[size_t(s)]) << "seed " << seed << " undo to " << s;
    }
    for (int s = 1; s <= steps; ++s) {
      ASSERT_TRUE(doc_->redo());
      ASSERT_EQ(state(), states[size_t(s)]) << "seed " << seed << " redo to " << s;
    }
  }
}

TEST_F(UndoTest, LargeTrianglesOnASixteenKLayerUndoBitForBit) {
  // Filled flat through a target as the fills paint, into a zeroed 16384 x 16384 grey layer.
  constexpr int32_t kWide = 16384;
  host::Material* mat = builder().addMaterial("Huge");
  host::PaintTexture* tex = builder().addTexture(mat, 0, kWide, kWide, host::kModeGrey8);
  ASSERT_NE(tex, nullptr);
  auto* l = static_cast<hostapp::PaintLayerImpl*>(tex->activeLayer());
  pigmora::PaintTarget target;
  target.channels[0] = l;
  target.activeChannel = 0;
  target.primary[0] = {1, 1, 1};
  ASSERT_TRUE(target.allocateArrays());
  const host::Vector pos[4] = {};
  auto paint = [&](double ax, double ay, double bx, double by, double cx, double cy) {
    // Pixel positions over 16384 are exact in binary, so the walk sees these very vertices.
    const host::Vector uv[4] = {{ax / kWide, ay / kWide, 0},
                                {bx / kWide, by / kWide, 0},
                                {cx / kWide, cy / kWide, 0},
                                {cx / kWide, cy / kWide, 0}};
    ASSERT_TRUE(target.markTriangle(false, uv, pos));
    pigmora::rasterize_flat(nullptr, target, 0, 0);
  };

  pigmora::beginStep(doc_);
  // The long edge (15990, 1509) - (1408, 14850), walked in single precision from the middle row
  // 5168 on, ends one pixel left of its lowest vertex: pixel (1407, 14849) lies left of the box
  // x >= 1408, in the tile column at 1344. (The third corner sits just right of the edge so that
  // the triangle stays thin; where it sits along the row does not change the edge's walk.)
  paint(15990, 1509, 1408, 14850, 11995, 5168);
  ASSERT_EQ(l->pixels().row(14849)[1407], 255) << "the walk went past the box as expected";
  EXPECT_NE(store()->pending()->find(l, pigmora::tileKey(1344 / 64, 14848 / 64)), nullptr)
      << "the tile of (1407, 14849) is saved";
  // Long, thin triangles whose lowest vertex is their leftmost and sits on the tile border at
  // x = 1024, where nothing else is painted: any pixel the walk puts left of it lies in a tile
  // that only the widened range saves.
  std::mt19937 rng(17);
  auto pick = [&rng](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  for (int i = 0; i < 40; ++i) {
    const int32_t top = pick(0, 2000), bottom = pick(13000, kWide - 1), x = pick(15000, kWide - 1);
    const int32_t middle = pick(top + 1, bottom - 1);
    const double onEdge = x + double(middle - top) / (bottom - top) * (1024 - x);
    paint(x, top, 1024, bottom, std::floor(onEdge) + pick(2, 6), middle);
  }
  ASSERT_TRUE(pigmora::endStep(doc_));
  ASSERT_TRUE(doc_->undo());
  const std::vector<uint8_t> zero(kWide, 0);
  int32_t dirtyRows = 0;
  for (int32_t y = 0; y < kWide; ++y)
    if (std::memcmp(l->pixels().row(y), zero.data(), zero.size()) != 0) ++dirtyRows;
  EXPECT_EQ(dirtyRows, 0) << "every painted pixel was in a saved tile";
}

// The host's own undo entries.

struct TagView {
  int32_t type;
  std::string name;
  host::Material* material;
  std::string restriction;
  std::vector<int32_t> selected;
  bool operator==(const TagView&) const = default;
};

std::vector<TagView> tagsOf(host::Object* obj) {
  std::vector<TagView> out;
  for (int32_t i = 0; i < obj->tagCount(); ++i) {
    host::Tag* t = obj->tagAt(i);
    TagView v{t->type(), t->name(), nullptr, "", {}};
    if (t->type() == host::kTypeTextureTag) {
      v.material = static_cast<host::TextureTag*>(t)->material();
      v.restriction = t->data().getString(host::kTexRestriction);
    }
    if (t->type() == host::kTypePolygonSelectionTag)
      v.selected = static_cast<host::SelectionTag*>(t)->selection().indices();
    out.push_back(v);
  }
  return out;
}

TEST_F(UndoTest, OneHostUndoPutsBackEveryDeletedTextureTagOfAGroupInItsPlace) {
  auto b = builder();
  host::Object* group = host_.scene().createObject(host::kTypeNull);
  doc_->insertObject(group, nullptr, nullptr);
  host::Material* red = b.addMaterial("Red");
  host::Material* blue = b.addMaterial("Blue");
  std::vector<host::Object*> children;
  for (int i = 0; i < 2; ++i) {
    host::Object* obj = b.addMesh("child" + std::to_string(i), hostapp::gridMesh(2, 1, 1.0), group);
    b.addTextureTag(obj, red);
    b.addSelectionTag(obj, "front", {1});
    b.addTextureTag(obj, blue, "front");
    b.addTextureTag(obj, i ? red : blue);
    children.push_back(obj);
  }
  std::vector<std::vector<TagView>> before;
  for (auto* c : children) before.push_back(tagsOf(c));
  ASSERT_EQ(before[0].size(), 5u);  // UVW, texture, selection, texture, texture

  ASSERT_TRUE(doc_->startUndo());
  for (host::Object* c = group->down(); c; c = c->next()) {
    for (int32_t i = c->tagCount() - 1; i >= 0; --i) {
      host::Tag* t = c->tagAt(i);
      if (t->type() != host::kTypeTextureTag) continue;
      ASSERT_TRUE(doc_->addUndo(host::kUndoDelete, t));
      host_.scene().freeNode(c->removeTag(t));
    }
  }
  ASSERT_TRUE(doc_->endUndo());
  for (auto* c : children) EXPECT_EQ(c->tagCount(), 2);

  ASSERT_TRUE(doc_->undo());
  for (size_t i = 0; i < children.size(); ++i) EXPECT_EQ(tagsOf(children[i]), before[i]);
  ASSERT_TRUE(doc_->redo());
  for (auto* c : children) EXPECT_EQ(c->tag(host::kTypeTextureTag), nullptr);
  ASSERT_TRUE(doc_->undo());
  for (size_t i = 0; i < children.size(); ++i) EXPECT_EQ(tagsOf(children[i]), before[i]);
}

TEST_F(UndoTest, HostUndoOfNewNodesTakesThemOutAndRedoPutsThemBackInPlace) {
  auto b = builder();
  host::Object* first = b.addMesh("first", hostapp::gridMesh(1, 1, 1.0));
  host::Object* last = b.addMesh("last", hostapp::gridMesh(1, 1, 1.0));
  doc_->removeObject(last);  // new meshes go first; put it after `first`
  doc_->insertObject(last, nullptr, first);
  ASSERT_EQ(first->next(), last);
  host::Material* m1 = b.addMaterial("M1");
  host::Material* m3 = b.addMaterial("M3");

  ASSERT_TRUE(doc_->startUndo());
  host::Object* added = host_.scene().createObject(host::kTypeNull);
  doc_->insertObject(added, nullptr, first);
  ASSERT_TRUE(doc_->addUndo(host::kUndoNew, added));
  host::Material* m2 = host_.scene().createMaterial(host::kTypeMaterial);
  doc_->insertMaterial(m2, m1);
  ASSERT_TRUE(doc_->addUndo(host::kUndoNew, m2));
  host::Tag* tag = first->makeTag(host::kTypeTextureTag, first->tagAt(0));
  ASSERT_TRUE(doc_->addUndo(host::kUndoNew, tag));
  ASSERT_TRUE(doc_->endUndo());
  host::Object* orphan = host_.scene().createObject(host::kTypeNull);
  EXPECT_FALSE(doc_->addUndo(host::kUndoNew, orphan)) << "outside a group";
  host_.scene().freeNode(orphan);

  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(first->next(), last);
  EXPECT_EQ(m1->next(), m3);
  EXPECT_EQ(first->tagCount(), 1);
  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(first->next(), added);
  EXPECT_EQ(added->next(), last);
  EXPECT_EQ(m1->next(), m2);
  EXPECT_EQ(m2->next(), m3);
  ASSERT_EQ(first->tagCount(), 2);
  EXPECT_EQ(first->tagAt(1), tag);
}

TEST_F(UndoTest, HostUndoOfAChangeRestoresTheContentsAndRedoReappliesThem) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(2, 2, 1.0));
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  host::SelectionTag* sel = b.addSelectionTag(obj, "sel", {0, 2});
  host::Material* mat = b.addMaterial("M");
  obj->data().setInt32(777, 1);

  const std::vector<host::Vector> points(obj->points(), obj->points() + obj->pointCount());
  const std::vector<host::Polygon> polys(obj->polygons(), obj->polygons() + obj->polygonCount());
  const host::UVWPolygon uv0 = uvw->get(0);

  ASSERT_TRUE(doc_->startUndo());
  for (host::Node* n : std::vector<host::Node*>{obj, uvw, sel, mat})
    ASSERT_TRUE(doc_->addUndo(host::kUndoChange, n));
  ASSERT_TRUE(doc_->endUndo());
  obj->setName("moved");
  obj->data().setInt32(777, 2);
  obj->writablePoints()[0] = {5, 5, 5};
  obj->resize(3, 1);
  uvw->set(0, {{0.5, 0.5, 0}, {0.5, 0.5, 0}, {0.5, 0.5, 0}, {0.5, 0.5, 0}});
  sel->selection().deselectAll();
  sel->selection().select(3);
  mat->enableChannel(1, true);
  mat->channel(1)->data().setFilename(host::kChannelFile, "glow.tif");
  mat->channel(0)->data().setFilename(host::kChannelFile, "color.tif");

  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(obj->name(), "plane");
  EXPECT_EQ(obj->data().getInt32(777), 1);
  EXPECT_EQ(std::vector<host::Vector>(obj->points(), obj->points() + obj->pointCount()), points);
  EXPECT_EQ(std::vector<host::Polygon>(obj->polygons(), obj->polygons() + obj->polygonCount()),
            polys);
  EXPECT_EQ(uvw->get(0).b, uv0.b);
  EXPECT_EQ(sel->selection().indices(), (std::vector<int32_t>{0, 2}));
  EXPECT_FALSE(mat->channelEnabled(1));
  EXPECT_EQ(mat->channel(0)->data().getFilename(host::kChannelFile), "");

  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(obj->name(), "moved");
  EXPECT_EQ(obj->pointCount(), 3);
  EXPECT_EQ(obj->points()[0], (host::Vector{5, 5, 5}));
  EXPECT_EQ(uvw->get(0).b, (host::Vector{0.5, 0.5, 0}));
  EXPECT_EQ(sel->selection().indices(), (std::vector<int32_t>{3}));
  ASSERT_TRUE(mat->channelEnabled(1));
  EXPECT_EQ(mat->channel(1)->data().getFilename(host::kChannelFile), "glow.tif");
}

TEST_F(UndoTest, HostUndoOfASelectionChangeRestoresSelectionsAndTheActiveObject) {
  auto b = builder();
  host::PolygonObject* other = b.addMesh("other", hostapp::gridMesh(1, 1, 1.0));
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(3, 1, 1.0));
  doc_->setActiveObject(other);
  obj->polygonSelection().select(0);
  obj->pointSelection().select(4);

  ASSERT_TRUE(doc_->startUndo());
  ASSERT_TRUE(doc_->addUndo(host::kUndoChangeSelection, obj));
  ASSERT_TRUE(doc_->endUndo());
  obj->polygonSelection().deselectAll();
  obj->polygonSelection().select(1);
  obj->polygonSelection().select(2);
  obj->edgeSelection().select(5);
  obj->setSelected(true);
  doc_->makeActive(obj);

  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(obj->polygonSelection().indices(), (std::vector<int32_t>{0}));
  EXPECT_EQ(obj->pointSelection().indices(), (std::vector<int32_t>{4}));
  EXPECT_TRUE(obj->edgeSelection().empty());
  EXPECT_FALSE(obj->isSelected());
  EXPECT_NE(doc_->activeObject(), obj);
  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(obj->polygonSelection().indices(), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(obj->edgeSelection().indices(), (std::vector<int32_t>{5}));
  EXPECT_TRUE(obj->isSelected());
  EXPECT_EQ(doc_->activeObject(), obj);
}

TEST_F(UndoTest, HostGroupsUndoNewestEntryFirstAndKeepTheDepth) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  // Two changes of one node in one group: one undo goes back past both.
  ASSERT_TRUE(doc_->startUndo());
  ASSERT_TRUE(doc_->addUndo(host::kUndoChange, obj));
  obj->setName("second");
  ASSERT_TRUE(doc_->startUndo());  // nested groups close with the outermost end
  ASSERT_TRUE(doc_->addUndo(host::kUndoChange, obj));
  ASSERT_TRUE(doc_->endUndo());
  obj->setName("third");
  EXPECT_FALSE(doc_->undo()) << "a group is still open";
  ASSERT_TRUE(doc_->endUndo());
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(obj->name(), "plane");
  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(obj->name(), "third");

  host_.settings().world()->setInt32(host::kWorldUndoDepth, 2);
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_TRUE(doc_->startUndo());
    ASSERT_TRUE(doc_->addUndo(host::kUndoChange, obj));
    ASSERT_TRUE(doc_->endUndo());
    obj->setName(name);
  }
  EXPECT_EQ(doc_->undoList().undoCount(), 2u);
  ASSERT_TRUE(doc_->undo());
  ASSERT_TRUE(doc_->undo());
  EXPECT_FALSE(doc_->undo());
  EXPECT_EQ(obj->name(), "a");
}

}  // namespace
