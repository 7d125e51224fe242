// The painting library, called as other plug-ins call it: looked up through the host by its id,
// each entry read at its byte offset.
#include <gtest/gtest.h>

#include <cstring>

#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "plugin/brushes/paintbrushbase.h"
#include "plugin/painting_lib.h"
#include "plugin/painting_lib_client.h"
#include "plugin/paintundo.h"
#include "support/plugin_host.h"

namespace {

namespace lib = pigmora::library;

class LibraryTest : public PluginHostTest {
 protected:
  host::PaintTexture* texture(int32_t w, int32_t h, int32_t mode,
                              const host::Vector* fill = nullptr) {
    auto b = builder();
    obj_ = b.addMesh("plane", hostapp::gridMesh(2, 1, 2.0));
    mat_ = b.addMaterial("M" + std::to_string(++count_));
    host::PaintTexture* tex = b.addTexture(mat_, 0, w, h, mode, fill);
    b.addTextureTag(obj_, mat_);
    doc_->setActiveObject(obj_);
    return tex;
  }
  // The left half of a 64 x 64 layer is covered by the first quad and red; the second quad
  // covers a small square only.
  void coverLeftHalfInRed(host::PaintTexture* tex) {
    const uint8_t red[4] = {255, 255, 0, 0};
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 32; ++x) tex->activeLayer()->setPixelRow(x, y, 1, red, 5);
    auto* uvw = static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag));
    uvw->set(1, {{0.25, 0.25, 0}, {0.25, 0.3, 0}, {0.3, 0.3, 0}, {0.3, 0.25, 0}});
    uvw->set(0, {{0, 0, 0}, {0, 1, 0}, {0.5, 1, 0}, {0.5, 0, 0}});
  }
  host::SelectionTag* bothQuads() { return builder().addSelectionTag(obj_, "both", {0, 1}); }
  host::PolygonObject* obj_ = nullptr;
  host::Material* mat_ = nullptr;
  int count_ = 0;
};

TEST_F(LibraryTest, RecordHasAnEmptyHeaderAndTwelveEntries) {
  const auto* p = host_.registration().find(pigmora::kPaintLibraryId);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->version, 1000);
  EXPECT_EQ(p->size, 104);
  const auto* record = static_cast<const uint8_t*>(host_.registration().findLibrary(1036240));
  ASSERT_NE(record, nullptr);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(record[i], 0) << i;
  for (size_t offset = 8; offset <= 96; offset += 8) {
    void* entry = nullptr;
    std::memcpy(&entry, record + offset, sizeof entry);
    EXPECT_NE(entry, nullptr) << offset;
  }
  int32_t bits = 0, components = 0;
  EXPECT_TRUE(lib::colorModeInfo(21, bits, components));
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(components, 4);
  EXPECT_FALSE(lib::colorModeInfo(6, bits, components));
}

TEST_F(LibraryTest, TransparentPixelsPreviewOnAGreyCheckerboard) {
  host::PaintTexture* tex = texture(120, 120, 5);
  const uint8_t opaque[4] = {255, 10, 200, 30};
  tex->activeLayer()->setPixelRow(110, 110, 1, opaque, 5);
  const uint8_t half[4] = {128, 255, 255, 255};
  tex->activeLayer()->setPixelRow(5, 60, 1, half, 5);
  auto dst = host_.paint().createBitmap();
  ASSERT_TRUE(dst->init(120, 120, 24));
  lib::renderLayerToBitmap(tex->activeLayer(), dst.get());
  uint8_t r, g, b;
  dst->getPixel(0, 0, r, g, b);
  EXPECT_EQ(r, 200);
  dst->getPixel(50, 0, r, g, b);
  EXPECT_EQ(r, 100);
  dst->getPixel(50, 50, r, g, b);
  EXPECT_EQ(g, 200);
  dst->getPixel(110, 110, r, g, b);
  EXPECT_EQ((std::array<uint8_t, 3>{r, g, b}), (std::array<uint8_t, 3>{10, 200, 30}));
  // Half transparent white over the dark square at (5, 60): 255 * 128/255 + (1 - 128/255) * 100.
  dst->getPixel(5, 60, r, g, b);
  EXPECT_EQ(r, static_cast<uint8_t>(255.0 * (128 / 255.0) + (1 - 128 / 255.0) * 100));
  // Other modes are shown as they are; a mode that cannot be painted leaves the bitmap alone.
  host::PaintTexture* grey = texture(8, 8, 34);
  const float v = 0.5f;
  grey->activeLayer()->setPixelRow(3, 3, 1, &v, 34);
  auto small = host_.paint().createBitmap();
  ASSERT_TRUE(small->init(8, 8, 24));
  lib::renderLayerToBitmap(grey->activeLayer(), small.get());
  small->getPixel(3, 3, r, g, b);
  EXPECT_EQ(r, 128);
}

TEST_F(LibraryTest, StampAndStencilGoToTheActivePaintTool) {
  texture(8, 8, 5);
  host_.sculptImpl().activateTool(doc_, pigmora::kPaintBrushId);
  host::Settings* s = lib::activePaintToolSettings();
  ASSERT_NE(s, nullptr);
  s->setBool(10401, true);
  const size_t specials = host_.events().specials().size();
  const size_t redraws = host_.events().redraws().size();
  lib::useAsStamp("", false);
  EXPECT_EQ(host_.events().specials().size(), specials) << "an empty name does nothing at all";
  EXPECT_EQ(host_.events().redraws().size(), redraws);
  EXPECT_TRUE(s->getBool(10401));
  lib::useAsStamp("/stamps/dots.png", false);
  EXPECT_TRUE(s->getBool(10601));
  EXPECT_EQ(s->getFilename(10603), "/stamps/dots.png");
  EXPECT_FALSE(s->getBool(10401)) << "keep-stencil off switches the stencil off";
  ASSERT_EQ(host_.events().specials().size(), specials + 1);
  EXPECT_EQ(host_.events().specials().back().id, -826267);
  EXPECT_EQ(host_.events().redraws().back(), 267526);
  lib::useAsStencil("/stencils/lines.png", true);
  EXPECT_TRUE(s->getBool(10401));
  EXPECT_EQ(s->getFilename(10402), "/stencils/lines.png");
  EXPECT_TRUE(s->getBool(10601)) << "keep-stamp keeps the stamp";
  // Without a paint tool active the events still go out.
  doc_->data().setInt32(host::kDocActiveTool, 0);
  EXPECT_EQ(lib::activePaintToolSettings(), nullptr);
  lib::useAsStencil("/x.png", false);
  EXPECT_EQ(host_.events().specials().size(), specials + 3);
}

TEST_F(LibraryTest, SamplingSizeFourReadsTheChannelAtTheSwappedPoint) {
  host::PaintTexture* tex = texture(4, 4, 5);
  // Every texel its own colour; (0.5, 0.25) falls on texel (2, 1).
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t p[4] = {255, static_cast<uint8_t>(x * 60), static_cast<uint8_t>(y * 60), 7};
      tex->activeLayer()->setPixelRow(x, y, 1, p, 5);
    }
  host::Settings tool;
  pigmora::sampleChannels(&tool, mat_, 4);
  pigmora::PaintMaterialRegistry* registry = pigmora::PaintMaterialRegistry::existing();
  ASSERT_NE(registry->sampledChannel(0), nullptr);
  uint8_t r, g, b;
  registry->sampledChannel(0)->getPixel(1, 2, r, g, b);
  EXPECT_EQ(r, 120);
  EXPECT_EQ(g, 60);
  EXPECT_EQ(b, 7);
  // A channel without a texture samples black.
  ASSERT_NE(registry->sampledChannel(5), nullptr);
  registry->sampledChannel(5)->getPixel(1, 2, r, g, b);
  EXPECT_EQ(r + g + b, 0);
  const auto& shown = host_.events().statusHistory();
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Sampling Channel: color"), shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Sampling Channel: specularcolor"), shown.end());
  EXPECT_EQ(host_.events().statusText(), "");
  // Size 0 frees the old samples and makes none.
  pigmora::sampleChannels(&tool, mat_, 0);
  EXPECT_EQ(registry->sampledChannel(0), nullptr);
}

TEST_F(LibraryTest, RemapCopiesAPolygonBetweenLayouts) {
  host::PaintTexture* src = texture(16, 16, 5);
  host::PaintTexture* dst = texture(32, 32, 37);
  const uint8_t red[4] = {255, 255, 0, 0};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 8; ++x) src->activeLayer()->setPixelRow(x, y, 1, red, 5);
  const host::UVWPolygon from{{0, 0, 0}, {0, 1, 0}, {0.5, 1, 0}, {0.5, 0, 0}};
  const host::UVWPolygon to{{0.5, 0.5, 0}, {0.5, 1, 0}, {1, 1, 0}, {1, 0.5, 0}};
  EXPECT_TRUE(lib::remapPolygon(from, to, src->activeLayer(), dst->activeLayer(), true));
  float px[4];
  dst->activeLayer()->getPixelRow(24, 24, 1, px, 37);
  EXPECT_EQ(px[0], 1.f);
  EXPECT_EQ(px[1], 1.f);
  dst->activeLayer()->getPixelRow(4, 4, 1, px, 37);
  EXPECT_EQ(px[0], 0.f);
}

TEST_F(LibraryTest, UndoEntriesWrapTheOperationsInSteps) {
  host::PaintTexture* tex = texture(64, 64, 5);
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(doc_);
  ASSERT_NE(store, nullptr);
  lib::beginUndoStep();
  lib::saveLayerForUndo(tex->activeLayer());
  const uint8_t white[4] = {255, 255, 255, 255};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) tex->activeLayer()->setPixelRow(x, y, 1, white, 5);
  lib::endUndoStep();
  EXPECT_EQ(store->undoCount(), 1u);
  EXPECT_EQ(store->undoStep(0)->tileCount(), 1u);
  ASSERT_TRUE(doc_->undo());
  uint8_t px[4];
  tex->activeLayer()->getPixelRow(30, 30, 1, px, 5);
  EXPECT_EQ(px[0], 0);

  // One step for the bleed of one layer (restricted to a selection of both quads) and of an
  // object. Without a selection tag the layer is left alone.
  coverLeftHalfInRed(tex);
  lib::bleedLayer(obj_, tex->activeLayer(), nullptr, 0);
  EXPECT_EQ(store->undoCount(), 0u);
  tex->activeLayer()->getPixelRow(32, 10, 1, px, 5);
  EXPECT_EQ(px[1], 0) << "no selection tag, no bleed";
  lib::bleedLayer(obj_, tex->activeLayer(), bothQuads(), 0);
  EXPECT_EQ(store->undoCount(), 1u);
  tex->activeLayer()->getPixelRow(32, 10, 1, px, 5);
  EXPECT_EQ(px[1], 255) << "the first ring right of the covered half";
  lib::bleedObject(obj_, 1);
  EXPECT_EQ(store->undoCount(), 2u);
  tex->activeLayer()->getPixelRow(33, 10, 1, px, 5);
  EXPECT_EQ(px[1], 255) << "the second ring";
}

TEST_F(LibraryTest, BleedsWithoutAnUndoStepWhenTheHookHasNoStore) {
  host::PaintTexture* tex = texture(64, 64, 5);
  coverLeftHalfInRed(tex);
  // The undo hook is there, but holds no store (as when it could not make one).
  ASSERT_TRUE(doc_->replaceHookData(pigmora::kUndoHookId, host::make<pigmora::PaintUndoSystem>()));
  ASSERT_NE(doc_->sceneHook(pigmora::kUndoHookId), nullptr);
  ASSERT_EQ(pigmora::findUndoStore(doc_), nullptr);
  const size_t groups = doc_->undoList().undoCount();
  uint8_t px[4];
  lib::bleedLayer(obj_, tex->activeLayer(), bothQuads(), 0);
  tex->activeLayer()->getPixelRow(32, 10, 1, px, 5);
  EXPECT_EQ(px[1], 255) << "the first ring right of the covered half";
  lib::bleedObject(obj_, 1);
  tex->activeLayer()->getPixelRow(33, 10, 1, px, 5);
  EXPECT_EQ(px[1], 255) << "the second ring";
  EXPECT_EQ(doc_->undoList().undoCount(), groups) << "no undo step without a store";
}

TEST_F(LibraryTest, BleedsNothingWithoutTheUndoHook) {
  // A document whose undo hook could not be made: its store was the second allocation.
  host_.memory().failAt(2);
  hostapp::DocumentImpl* doc = host_.sceneImpl().newDocument();
  ASSERT_EQ(doc->sceneHook(pigmora::kUndoHookId), nullptr);
  hostapp::SceneBuilder b(host_, doc);
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("M");
  host::PaintTexture* tex = b.addTexture(mat, 0, 32, 32, 5);
  b.addTextureTag(obj, mat);
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  uvw->set(0, {{0, 0, 0}, {0, 1, 0}, {0.5, 1, 0}, {0.5, 0, 0}});
  const uint8_t red[4] = {255, 255, 0, 0};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 16; ++x) tex->activeLayer()->setPixelRow(x, y, 1, red, 5);
  lib::bleedLayer(obj, tex->activeLayer(), b.addSelectionTag(obj, "all", {0}), 0);
  lib::bleedObject(obj, 1);
  uint8_t px[4];
  tex->activeLayer()->getPixelRow(16, 10, 1, px, 5);
  EXPECT_EQ(px[0], 0) << "nothing bled";
}

}  // namespace
