// The paint model: channels, pixel formats, targets and the registry that binds an object,
// driven through the embedded host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "host/binding.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"
#include "plugin/rast/falloff.h"
#include "support/plugin_host.h"

namespace {

using pigmora::PaintMaterialRegistry;
using pigmora::PaintTarget;
using pigmora::ToolContext;

TEST(Channels, NamesKeysAndModes) {
  EXPECT_STREQ(pigmora::ChannelDisplayNames[9], "Specular Color");
  EXPECT_STREQ(pigmora::ChannelKeys[9], "specularcolor");
  EXPECT_STREQ(pigmora::channelKey(13), "normal");
  EXPECT_STREQ(pigmora::channelKey(14), "");
  EXPECT_STREQ(pigmora::channelKey(-1), "");

  // (mode, bits, components) of every paintable mode; every other code is refused.
  const std::set<std::tuple<int, int, int>> paintable{
      {1, 8, 1},   {2, 8, 1},   {3, 8, 2},   {4, 8, 3},   {5, 8, 4},   {18, 16, 1}, {19, 16, 2},
      {20, 16, 3}, {21, 16, 4}, {34, 32, 1}, {35, 32, 2}, {36, 32, 3}, {37, 32, 4}};
  // The modes of the table that are never painted still say what their pixels hold.
  const std::map<int, std::pair<int, int>> unpaintable{{6, {8, 4}}, {7, {8, 5}},   {8, {8, 1}},
                                                       {9, {8, 2}}, {24, {16, 1}}, {40, {32, 1}}};
  for (int mode = -2; mode < 64; ++mode) {
    int32_t bits = -7, components = -7;
    const bool ok = pigmora::ColorModeInfo(mode, bits, components);
    EXPECT_EQ(ok, paintable.count({mode, bits, components}) == 1) << mode;
    if (ok) continue;
    const auto known = unpaintable.find(mode);
    const std::pair<int, int> want =
        known != unpaintable.end() ? known->second : std::pair<int, int>{-7, -7};
    EXPECT_EQ(std::make_pair(bits, components), want) << "mode " << mode;
  }
  EXPECT_EQ(pigmora::bytesPerPixel(21), 8);
  EXPECT_EQ(pigmora::bytesPerPixel(37), 16);
  EXPECT_EQ(pigmora::bytesPerPixel(6), 0);  // CMYK is never painted
}

TEST(PaintTargets, StartWithNothingSetAndEveryFlagClear) {
  const PaintTarget t;
  for (host::PaintBitmap* slot : t.channels) EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(t.activeChannel, -1);
  EXPECT_EQ(t.triangles, nullptr);
  EXPECT_EQ(t.dirtyRects, nullptr);
  EXPECT_EQ(t.tileCount, 1);
  for (int32_t flag : {t.paintAllChannels, t.perChannelStamps, t.stampOn, t.stencilOn, t.pointTest,
                       t.wholePolygon, t.paintMode, t.stampAlpha, t.fixedStrength, t.stampColor})
    EXPECT_EQ(flag, 0);
  EXPECT_FALSE(t.sameSize);
  EXPECT_EQ(t.falloff.scale, 1.0f);
  EXPECT_EQ(t.falloffSignature, 0.0);
}

TEST(UdimNames, TileNumbersAndOffsets) {
  struct Case {
    const char* name;
    bool found;
    int32_t number;
    bool offsets;
    double u, v;
  } cases[] = {
      {"Left_UDIM_1012", true, 1012, true, 1, 1},      {"UDIM_1001", true, 1001, true, 0, 0},
      {"UDIM_1010", true, 1010, true, 9, 0},           {"UDIM_1011", true, 1011, true, 0, 1},
      {"UDIM_1024", true, 1024, true, 3, 2},           {"UDIM_0999", true, 999, false, 0, 0},
      {"UDIM_1000", true, 1000, false, 0, 0},          {"NoTileHere", false, 0, false, 0, 0},
      {"UDIM_1005_UDIM_1001", true, 1005, true, 4, 0},
  };
  for (const Case& c : cases) {
    int32_t number = 0;
    double u = 0, v = 0;
    bool offsets = false;
    EXPECT_EQ(pigmora::parseUdimName(c.name, number, u, v, offsets), c.found) << c.name;
    EXPECT_EQ(number, c.number) << c.name;
    EXPECT_EQ(offsets, c.offsets) << c.name;
    EXPECT_EQ(u, c.u) << c.name;
    EXPECT_EQ(v, c.v) << c.name;
  }
}

TEST(FalloffTable, IndexedBySquaredNormalisedDistance) {
  host::Settings settings;
  settings.setSpline(pigmora::kSettingFalloffCurve, host::Spline{{{0, 1}, {1, 0}}});
  auto table = std::make_unique<pigmora::FalloffTable>();
  double signature = 0;
  pigmora::buildFalloffTable(*table, signature, &settings, 10.0);
  EXPECT_TRUE(table->enabled);
  EXPECT_FLOAT_EQ(table->scale, 65536.f / 100.f);
  EXPECT_FLOAT_EQ(table->radius2, 100.f);
  // Half the radius: (d / r)^2 = 0.25, so the curve is read at 0.25.
  const float d2 = 5.f * 5.f;
  EXPECT_NEAR(table->f[static_cast<int>(d2 * table->scale)], 0.75f, 1e-4f);
  // signature: knots weighted by index: (0*1 + 1*2, 1*1 + 0*2) = (2, 1) -> 5
  EXPECT_DOUBLE_EQ(signature, 5.0);
  table->f[0] = 42.f;
  pigmora::buildFalloffTable(*table, signature, &settings, 10.0);
  EXPECT_EQ(table->f[0], 42.f) << "unchanged curve and radius leave the table alone";
  pigmora::buildFalloffTable(*table, signature, &settings, 0.0);
  EXPECT_EQ(table->scale, 0.f);
  pigmora::buildFalloffTable(*table, signature, nullptr, 10.0);
  EXPECT_FALSE(table->enabled);
}

class ModelTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    registry_ = PaintMaterialRegistry::instance();
    ASSERT_NE(registry_, nullptr);
    painter().setPaintAllChannels(false);
  }
  hostapp::PainterImpl& painter() { return host_.paintImpl().painter(); }
  ToolContext tool(host::Object* obj, double strength = 0.5, double radius = 10.0) {
    ToolContext t;
    t.settings = &settings_;
    t.currentObject = obj;
    t.strength = strength;
    t.radius = radius;
    return t;
  }
  void bind(host::PolygonObject* obj) {
    ToolContext t = tool(obj);
    registry_->bind(&t, obj, obj);
  }

  PaintMaterialRegistry* registry_ = nullptr;
  host::Settings settings_;
};

TEST_F(ModelTest, RestrictedSecondTagPaintsItsSelectionIntoItsMaterial) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(3, 1, 3.0));
  host::Material* a = b.addMaterial("A");
  host::Material* m = b.addMaterial("B");
  host::PaintTexture* ta = b.addTexture(a, 0, 64, 64, 5);
  host::PaintTexture* tb = b.addTexture(m, 0, 64, 64, 5);
  b.addSelectionTag(obj, "Sel", {1});
  b.addTextureTag(obj, a);
  b.addTextureTag(obj, m, "Sel");
  painter().setSelectedTexture(ta);
  bind(obj);
  ASSERT_NE(registry_->targetForPolygon(0), nullptr);
  EXPECT_EQ(registry_->targetForPolygon(0)->material, a);
  EXPECT_EQ(registry_->targetForPolygon(1)->material, m);
  EXPECT_EQ(registry_->targetForPolygon(2)->material, a);
  EXPECT_EQ(registry_->targetForPolygon(3), nullptr);
  EXPECT_EQ(registry_->targetForPolygon(-1), nullptr);
  // Each target paints its own material's colour channel.
  EXPECT_EQ(registry_->targetForPolygon(0)->channels[0], ta->activeLayer());
  EXPECT_EQ(registry_->targetForPolygon(1)->channels[0], tb->activeLayer());
  EXPECT_EQ(registry_->geometry(), obj);
}

TEST_F(ModelTest, UdimRestrictionGivesTheTargetItsTile) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(2, 1, 2.0));
  host::Material* mat = b.addMaterial("Tile");
  painter().setSelectedTexture(b.addTexture(mat, 0, 32, 32, 5));
  b.addSelectionTag(obj, "Left_UDIM_1012", {0, 1});
  b.addTextureTag(obj, mat, "Left_UDIM_1012");
  bind(obj);
  PaintTarget* t = registry_->targetForPolygon(1);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->udimNumber, 1012);
  EXPECT_EQ(t->udimU, 1.0);
  EXPECT_EQ(t->udimV, 1.0);
  host::Vector uv[4] = {{1.5, 1.25, 0}, {1, 1, 0}, {2, 2, 0}, {1, 2, 0}};
  t->subtractUdimOffset(uv);
  EXPECT_EQ(uv[0], host::Vector(0.5, 0.25, 0));
  EXPECT_EQ(uv[3], host::Vector(0, 1, 0));
}

TEST_F(ModelTest, ChannelChangeRefreshesAndPolygonCountChangeRebuilds) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(2, 1, 2.0));
  host::Material* mat = b.addMaterial("M");
  host::PaintTexture* color = b.addTexture(mat, 0, 32, 32, 5);
  host::PaintTexture* bump = b.addTexture(mat, 6, 32, 32, 5);
  b.addTextureTag(obj, mat);
  painter().setSelectedTexture(color);
  bind(obj);
  bind(obj);  // the first bind links the object; this one records its counts
  PaintTarget* t = registry_->targetForPolygon(0);
  ASSERT_NE(t, nullptr);
  t->udimNumber = 777;  // a mark that only a rebuild clears
  painter().setSelectedTexture(bump);
  bind(obj);
  ASSERT_EQ(registry_->targetForPolygon(0), t);
  EXPECT_EQ(t->udimNumber, 777);
  EXPECT_EQ(t->channels[0], nullptr);
  EXPECT_EQ(t->channels[6], bump->activeLayer());
  EXPECT_EQ(t->activeChannel, 6);

  obj->resize(obj->pointCount(), 1);
  bind(obj);
  ASSERT_NE(registry_->targetForPolygon(0), nullptr);
  EXPECT_EQ(registry_->targetForPolygon(0)->udimNumber, 0);
}

TEST_F(ModelTest, FallbackTakesTheSelectedTextureIntoSlotZero) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("Painted");
  b.addTexture(mat, 2, 16, 16, 5);
  host::Material* other = b.addMaterial("Elsewhere");
  host::PaintTexture* foreign = b.addTexture(other, 4, 16, 16, 5);
  b.addTextureTag(obj, mat);
  painter().setSelectedTexture(foreign);
  bind(obj);
  PaintTarget* t = registry_->targetForPolygon(0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->channels[0], foreign->activeLayer());
  EXPECT_EQ(t->activeChannel, 0);
  for (int i = 1; i < pigmora::kChannelCount; ++i) EXPECT_EQ(t->channels[i], nullptr);

  // Without a selected texture the material is not painted: the refresh fails and drops it.
  painter().setSelectedTexture(nullptr);
  bind(obj);
  bind(obj);
  EXPECT_EQ(registry_->targetForPolygon(0), nullptr);
  EXPECT_EQ(registry_->targetCount(), 0u);
}

TEST_F(ModelTest, PaintAllChannelsTakesEveryEnabledChannelAndChecksSizes) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("All");
  host::PaintTexture* c0 = b.addTexture(mat, 0, 64, 64, 5);
  host::PaintTexture* c1 = b.addTexture(mat, 1, 64, 64, 21);
  b.addTexture(mat, 6, 64, 64, 37);
  b.addTextureTag(obj, mat);
  painter().setPaintAllChannels(true);
  painter().setChannelEnabled(6, false);
  painter().setColor(0, 1, {0.5, 0.25, 1.0}, 0.5);
  painter().clearColor(0);
  bind(obj);
  PaintTarget* t = registry_->targetForPolygon(0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->paintAllChannels, 1);
  EXPECT_EQ(t->channels[0], c0->activeLayer());
  EXPECT_EQ(t->channels[1], c1->activeLayer());
  EXPECT_EQ(t->channels[6], nullptr);
  EXPECT_EQ(t->activeChannel, 1);  // the last channel filled
  EXPECT_TRUE(t->sameSize);
  EXPECT_EQ(t->primary[1], host::Vector(0.25, 0.125, 0.5));  // colour times brightness
  EXPECT_EQ(t->primary[0], host::Vector(1, 0, 0));           // no colour: red
  EXPECT_EQ(t->secondary[1], host::Vector(1, 1, 1));

  painter().setChannelEnabled(6, true);
  host::Material* small = b.addMaterial("Small");
  b.addTexture(small, 0, 64, 64, 5);
  b.addTexture(small, 1, 32, 64, 5);
  b.addTextureTag(obj, small);
  bind(obj);
  EXPECT_FALSE(registry_->targetForPolygon(0)->sameSize);
}

TEST_F(ModelTest, ActiveChannelOfSelectionFindsTheSelectedTexture) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("M");
  b.addTexture(mat, 0, 8, 8, 5);
  host::PaintTexture* glow = b.addTexture(mat, 10, 8, 8, 5);
  b.addTextureTag(obj, mat);
  painter().setSelectedTexture(glow);
  bind(obj);
  EXPECT_EQ(registry_->activeChannelOfSelection(), 10);
  EXPECT_EQ(registry_->targetForPolygon(0)->channels[10], glow->activeLayer());
  painter().setSelectedTexture(nullptr);
  EXPECT_EQ(registry_->activeChannelOfSelection(), -1);
}

TEST_F(ModelTest, StrengthCentreAndFalloffValidityFollowEachDab) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("M");
  painter().setSelectedTexture(b.addTexture(mat, 0, 8, 8, 5));
  b.addTextureTag(obj, mat);
  settings_.setSpline(pigmora::kSettingFalloffCurve, host::Spline{{{0, 1}, {1, 0}}});
  bind(obj);
  PaintTarget* t = registry_->targetForPolygon(0);
  ASSERT_TRUE(t->falloff.enabled);
  ToolContext dab = tool(obj, 1.7, 10.0);
  dab.centre = {1, 2, 3};
  registry_->updateAllStrength(dab);
  EXPECT_EQ(t->strength, 1.0);
  EXPECT_EQ(t->falloff.centre[2], 3.f);
  EXPECT_TRUE(t->falloff.enabled);
  dab.radius = 11.0;
  registry_->updateAllStrength(dab);
  EXPECT_FALSE(t->falloff.enabled) << "a dab of another radius uses the host falloff";
  t->fixedStrength = 1;
  settings_.setReal(pigmora::kSettingFixedStrengthValue, 0.3);
  registry_->updateAllStrength(dab);
  EXPECT_EQ(t->strength, 0.3);
}

TEST_F(ModelTest, ToolSettingsAreCopiedIntoTheTarget) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("M");
  painter().setSelectedTexture(b.addTexture(mat, 0, 8, 8, 5));
  b.addTextureTag(obj, mat);
  settings_.setInt32(pigmora::kSettingBrushMode, 5);
  settings_.setBool(pigmora::kSettingStampOn, true);
  settings_.setBool(pigmora::kSettingStampAlpha, false);
  settings_.setBool(pigmora::kSettingFixedStrength, true);
  settings_.setReal(pigmora::kSettingFixedStrengthValue, 0.6);
  settings_.setInt32(pigmora::kSettingTextureUpdate, pigmora::kTextureUpdateStrokeEnd);
  ToolContext t = tool(obj);
  t.dabFlags = pigmora::kDabBlur;
  registry_->bind(&t, obj, obj);
  PaintTarget* target = registry_->targetForPolygon(0);
  EXPECT_EQ(target->pointTest, 1);
  EXPECT_EQ(target->stampOn, 1);
  EXPECT_EQ(target->stampAlpha, 1) << "a stamp always uses its alpha";
  EXPECT_EQ(target->strength, 0.6);
  EXPECT_EQ(target->paintMode, pigmora::kPaintModeBlur);
  EXPECT_EQ(registry_->textureUpdateMode(), pigmora::kTextureUpdateStrokeEnd);
}

TEST_F(ModelTest, MarkTriangleSetsUpTrianglesGrowsDirtyAndSavesTouchedTiles) {
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(doc_);
  ASSERT_NE(store, nullptr);
  store->beginStep();
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("M");
  host::PaintTexture* tex = b.addTexture(mat, 0, 100, 200, 5);
  b.addTextureTag(obj, mat);
  painter().setSelectedTexture(tex);
  bind(obj);
  PaintTarget* t = registry_->targetForPolygon(0);
  ASSERT_NE(t, nullptr);
  // A quad from u 0.3 .. 1.2 (clamped to 1) and v 0.1 .. 0.5.
  const host::Vector uv[4] = {{0.3, 0.1, 0}, {0.3, 0.5, 0}, {1.2, 0.5, 0}, {1.2, 0.1, 0}};
  const host::Vector pos[4] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  ASSERT_TRUE(t->markTriangle(true, uv, pos));
  const pigmora::DirtyRect& r = t->dirty(0);
  EXPECT_EQ(std::make_tuple(r.xmin, r.ymin, r.xmax, r.ymax), std::make_tuple(30, 20, 100, 100));
  // Tile origins: x 0 and 64 (100 is the width and is skipped), y 0 and 64.
  const pigmora::PaintUndoStep* step = store->pending();
  ASSERT_NE(step, nullptr);
  std::set<std::pair<int64_t, int64_t>> origins;
  for (size_t i = 0; i < step->tileCount(); ++i) {
    EXPECT_EQ(step->tile(i)->bitmap(), tex->activeLayer());
    origins.insert({step->tile(i)->originX(), step->tile(i)->originY()});
  }
  ASSERT_TRUE(t->markTriangle(true, uv, pos));
  EXPECT_EQ(step->tileCount(), 4u) << "a tile is saved once per step";
  EXPECT_EQ(origins, (std::set<std::pair<int64_t, int64_t>>{{0, 0}, {64, 0}, {0, 64}, {64, 64}}));
  const pigmora::RasterTriangle& second = t->triangle(1);
  EXPECT_FLOAT_EQ(second.v[1].x, 100.f);  // corner c, clamped
  EXPECT_FLOAT_EQ(second.v[2].y, 20.f);   // corner d
  EXPECT_EQ(second.v[2].px, 1.0);

  const host::Vector bad[4] = {{NAN, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  EXPECT_FALSE(t->markTriangle(false, bad, pos));

  // The flush tells the host the rectangle; it stays until the arrays go.
  auto* impl = static_cast<hostapp::PaintTextureImpl*>(tex);
  impl->clearChanges();
  registry_->flushAll();
  ASSERT_EQ(impl->changes().size(), 1u);
  EXPECT_EQ(impl->changes()[0].xmin, 30);
  EXPECT_EQ(impl->changes()[0].flags, 286);

  // The walk may paint up to two pixels left or right of the box: a box from x = 65 saves the
  // tile at 0 as well, one ending at x = 126 the tile at 128. Rows are walked exactly.
  pigmora::endStep(doc_);
  store->beginStep();
  host::Material* wide = b.addMaterial("Wide");
  host::PaintTexture* wideTex = b.addTexture(wide, 0, 256, 256, 5);
  t->channels[0] = wideTex->activeLayer();
  ASSERT_TRUE(t->allocateArrays());
  const double lo = 65 / 256.0, hi = 126 / 256.0;  // exact in binary
  const host::Vector box[4] = {{lo, lo, 0}, {lo, hi, 0}, {hi, hi, 0}, {hi, lo, 0}};
  ASSERT_TRUE(t->markTriangle(true, box, pos));
  std::set<std::pair<int64_t, int64_t>> widened;
  for (size_t i = 0; i < store->pending()->tileCount(); ++i)
    widened.insert({store->pending()->tile(i)->originX(), store->pending()->tile(i)->originY()});
  EXPECT_EQ(widened, (std::set<std::pair<int64_t, int64_t>>{{0, 64}, {64, 64}, {128, 64}}));
  EXPECT_EQ(t->dirty(0).xmin, 65) << "the dirty rectangle is the box itself";
}

TEST_F(ModelTest, UpdateTexturesTouchesEveryObjectAndPostsAnUpdate) {
  auto b = builder();
  host::PolygonObject* parent = b.addMesh("parent", hostapp::gridMesh(1, 1, 1.0));
  host::PolygonObject* child = b.addMesh("child", hostapp::gridMesh(1, 1, 1.0), parent);
  const auto updates = host_.events().updates();
  registry_->updateTextures();
  EXPECT_EQ(parent->dirtyCount(), 1u);
  EXPECT_EQ(child->dirtyCount(), 1u);
  EXPECT_EQ(host_.events().updates(), updates + 1);
}

TEST_F(ModelTest, TargetAllocationFailureLeavesThePolygonUnpainted) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("M");
  painter().setSelectedTexture(b.addTexture(mat, 0, 8, 8, 5));
  b.addTextureTag(obj, mat);
  host_.memory().failAt(1);
  bind(obj);
  EXPECT_EQ(registry_->targetForPolygon(0), nullptr);
  bind(obj);  // the next stroke tries again
  EXPECT_NE(registry_->targetForPolygon(0), nullptr);
}

TEST_F(ModelTest, UnbindingDropsEverything) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(1, 1, 1.0));
  host::Material* mat = b.addMaterial("M");
  painter().setSelectedTexture(b.addTexture(mat, 0, 8, 8, 5));
  b.addTextureTag(obj, mat);
  bind(obj);
  ASSERT_EQ(registry_->targetCount(), 1u);
  registry_->bind(nullptr, nullptr, nullptr);
  EXPECT_EQ(registry_->targetCount(), 0u);
  EXPECT_EQ(registry_->geometry(), nullptr);
}

}  // namespace
