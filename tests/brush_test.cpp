// The registered paint brush and sculpt paint brush, run by the host's stroke engine.
#include <gtest/gtest.h>

#include <cmath>

#include "hostapp/sculpt/brush_params.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "plugin/brushes/paintbrushbase.h"
#include "plugin/brushes/paintbrushsculpt.h"
#include "plugin/paintundo.h"
#include "support/plugin_host.h"

namespace {

constexpr int32_t kSize = 128;

class BrushTest : public PluginHostTest {
 protected:
  host::PaintTexture* scene(int32_t tool = pigmora::kPaintBrushId, double size = 10.0) {
    auto b = builder();
    obj_ = b.addMesh("plane", hostapp::gridMesh(10, 10, size));
    mat_ = b.addMaterial("M");
    tex_ = b.addTexture(mat_, 0, kSize, kSize, 5);
    b.addTextureTag(obj_, mat_);
    doc_->setActiveObject(obj_);
    host_.paintImpl().painter().setSelectedTexture(tex_);
    host_.paintImpl().painter().setColor(0, 0, {1, 0, 0}, 1.0);
    host_.paintImpl().painter().setColor(1, 0, {0, 0, 1}, 1.0);
    EXPECT_TRUE(host_.sculptImpl().activateTool(doc_, tool));
    settings().setReal(host::kBrushStrength, 1.0);
    return tex_;
  }
  host::Settings& settings() {
    return *host_.sculptImpl().toolData(doc_, doc_->data().getInt32(host::kDocActiveTool));
  }
  bool stroke(std::vector<host::Vector> path, double radius, int32_t flags = 0) {
    hostapp::StrokeInput in;
    in.path = std::move(path);
    in.radius = radius;
    in.dabFlags = flags;
    return host_.sculptImpl().runStroke(doc_, in);
  }
  std::vector<uint8_t> pixels() const {
    std::vector<uint8_t> out(static_cast<size_t>(kSize) * kSize * 4);
    for (int y = 0; y < kSize; ++y)
      tex_->activeLayer()->getPixelRow(0, y, kSize, out.data() + static_cast<size_t>(y) * kSize * 4,
                                       5);
    return out;
  }
  std::array<uint8_t, 4> pixel(int x, int y) const {
    std::array<uint8_t, 4> p{};
    tex_->activeLayer()->getPixelRow(x, y, 1, p.data(), 5);
    return p;
  }
  host::PolygonObject* obj_ = nullptr;
  host::Material* mat_ = nullptr;
  host::PaintTexture* tex_ = nullptr;
};

TEST_F(BrushTest, BothBrushesRegisterTheirSwitchesInOrder) {
  for (int32_t id : {pigmora::kPaintBrushId, pigmora::kSculptBrushId}) {
    const auto* p = host_.registration().find(id);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->info, 3072);
    EXPECT_EQ(p->icon, id == pigmora::kPaintBrushId ? "paintbrush.png" : "paintsculptbrush.png");
    auto* params = dynamic_cast<hostapp::BrushParamsImpl*>(p->tool->params());
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->calls.size(), 11u);
    const bool expected[11] = {
        false, true, true, true, true, true, true, false, id == pigmora::kSculptBrushId,
        true,  false};
    for (size_t i = 0; i < 11; ++i) EXPECT_EQ(params->calls[i].value, expected[i]) << i;
    EXPECT_STREQ(params->calls[1].name, params->calls[5].name) << "the sixth repeats the second";
    EXPECT_STREQ(params->calls[9].name, "dabCallback");
  }
  EXPECT_NE(host_.sculptImpl().toolDescription(pigmora::kPaintBrushId), nullptr);
  EXPECT_NE(host_.sculptImpl().toolDescription(pigmora::kPaintBrushId)->find(20016), nullptr);
  EXPECT_NE(host_.sculptImpl().toolDescription(pigmora::kSculptBrushId)->find(10214), nullptr);
}

TEST_F(BrushTest, DefaultsOfTheBrushWinOverTheHostBase) {
  scene();
  host::Settings& s = settings();
  EXPECT_TRUE(s.getBool(10211)) << "the host base writes false first";
  EXPECT_DOUBLE_EQ(s.getReal(10213), 20.0);
  EXPECT_DOUBLE_EQ(s.getReal(20002), 5.0);
  EXPECT_EQ(s.getInt32(20009), 20010);
  EXPECT_TRUE(s.getBool(20014));
  EXPECT_NE(s.getSpline(10303), nullptr) << "the host base's falloff curve is there";
  host::Settings other;
  host_.registration().find(pigmora::kPaintBrushId)->tool->initDefaults(doc_, other);
  EXPECT_TRUE(other.getBool(10211));
  EXPECT_EQ(other.getSpline(10303), nullptr)
      << "the second entry point writes only the brush's own";
}

TEST_F(BrushTest, TheFillAngleIsHeldInRadiansAndDescribedInDegrees) {
  scene();
  EXPECT_DOUBLE_EQ(settings().getReal(10242), M_PI / 4) << "45 degrees";
  for (int32_t id : {pigmora::kPaintBrushId, pigmora::kSculptBrushId}) {
    const host::Description* d = host_.sculptImpl().toolDescription(id);
    ASSERT_NE(d, nullptr);
    const host::DescriptionParameter* angle = d->find(10242);
    ASSERT_NE(angle, nullptr);
    EXPECT_TRUE(angle->angle);
    EXPECT_DOUBLE_EQ(angle->defaultValue.toReal(), M_PI / 4) << "written as 45 in the file";
    EXPECT_FALSE(d->find(10200)->angle) << "the radius is no angle";
  }
}

TEST_F(BrushTest, FixedStrengthForcesStrokeSettingsOnlyDuringInput) {
  scene();
  settings().setBool(20013, true);
  settings().setBool(10211, false);
  settings().setReal(10213, 7.5);
  ASSERT_TRUE(stroke({{2, 2, 0}, {4, 2, 0}}, 0.8));
  const host::Settings& seen = host_.sculptImpl().lastInputSettings();
  EXPECT_TRUE(seen.getBool(10211));
  EXPECT_DOUBLE_EQ(seen.getReal(10213), 0.2);
  EXPECT_TRUE(seen.getBool(20007));
  EXPECT_FALSE(settings().getBool(10211));
  EXPECT_DOUBLE_EQ(settings().getReal(10213), 7.5);
  EXPECT_FALSE(settings().getBool(20007));
}

TEST_F(BrushTest, EnablingFollowsTheBrushRules) {
  scene();
  auto& sculpt = host_.sculptImpl();
  settings().setInt32(10221, 10224);
  EXPECT_TRUE(sculpt.parameterEnabled(doc_, 10241));
  EXPECT_TRUE(sculpt.parameterEnabled(doc_, 10242));
  settings().setInt32(10221, 4);
  EXPECT_FALSE(sculpt.parameterEnabled(doc_, 10241));
  EXPECT_FALSE(sculpt.parameterEnabled(doc_, 10242));
  settings().setBool(20013, true);
  for (int32_t id : {10211, 10212, 10213, 20007})
    EXPECT_FALSE(sculpt.parameterEnabled(doc_, id)) << id;
  settings().setBool(10401, false);
  EXPECT_FALSE(sculpt.parameterEnabled(doc_, 20014));
  settings().setBool(10401, true);
  EXPECT_TRUE(sculpt.parameterEnabled(doc_, 20014));
  settings().setBool(20015, true);
  EXPECT_TRUE(sculpt.parameterEnabled(doc_, 20016));
}

TEST_F(BrushTest, StrokeIsOneHostUndoEntryThatUndoesAndRedoesBitForBit) {
  scene();
  const auto before = pixels();
  const size_t groups = doc_->undoList().undoCount();
  ASSERT_TRUE(stroke({{1, 5, 0}, {9, 5, 0}}, 1.0));
  const auto after = pixels();
  ASSERT_NE(before, after);
  ASSERT_EQ(doc_->undoList().undoCount(), groups + 1);
  const auto& group = doc_->undoList().undoGroup(groups);
  ASSERT_EQ(group.size(), 1u);
  EXPECT_EQ(group[0]->kind(), 9996);
  EXPECT_EQ(group[0]->text(), "SculptPaintUndo");
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(pixels(), before);
  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(pixels(), after);
}

TEST_F(BrushTest, ZeroStrengthPaintsNothingAndSavesNoTile) {
  scene();
  settings().setReal(host::kBrushStrength, 0.0);
  const auto before = pixels();
  ASSERT_TRUE(stroke({{1, 5, 0}, {9, 5, 0}}, 1.0));
  EXPECT_EQ(pixels(), before);
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(doc_);
  ASSERT_EQ(store->undoCount(), 1u);
  EXPECT_EQ(store->undoStep(0)->tileCount(), 0u);
}

TEST_F(BrushTest, FillModeFloodsPolygonsUnlessTheBlurIsHeld) {
  scene();
  settings().setBool(10001, true);
  settings().setBool(10241, true);
  settings().setReal(10242, M_PI / 4);  // the host keeps angles in radians
  ASSERT_TRUE(stroke({{5, 5, 0}}, 0.3));
  // The plane is flat: the flood reaches every polygon and paints each flat at full strength.
  EXPECT_EQ(pixel(1, 1), (std::array<uint8_t, 4>{255, 255, 0, 0}));
  EXPECT_EQ(pixel(120, 120), (std::array<uint8_t, 4>{255, 255, 0, 0}));

  // With the blur held the dab paints: a sharp edge gets softened, nothing is flooded.
  host::PaintTexture* tex = scene();
  settings().setBool(10001, true);
  settings().setBool(10241, true);
  const uint8_t white[4] = {255, 255, 255, 255};
  for (int y = 0; y < kSize; ++y)
    for (int x = 64; x < kSize; ++x) tex->activeLayer()->setPixelRow(x, y, 1, white, 5);
  ASSERT_TRUE(stroke({{5, 5, 0}}, 1.0, pigmora::kDabBlur));
  // The transparent pixel beside the edge takes some of the white's alpha, and white it is:
  // transparent neighbours thin a colour out, they do not darken it.
  const auto edge = pixel(63, 64);
  EXPECT_GT(edge[0], 0) << "the blur pulled white across the edge";
  EXPECT_LT(edge[0], 255);
  EXPECT_EQ(edge[1], 255);
  EXPECT_EQ(pixel(1, 1)[0], 0) << "no flood";
}

TEST_F(BrushTest, SecondaryColoursWithTheModifier) {
  scene();
  ASSERT_TRUE(stroke({{5, 5, 0}}, 1.0, pigmora::kDabSecondaryColor));
  const auto p = pixel(64, 64);
  EXPECT_EQ(p[3], 255);
  EXPECT_EQ(p[1], 0);
}

TEST_F(BrushTest, BleedAndIslandButtonsWorkOnTheSelectedObjectInOneStep) {
  scene();
  auto* uvw = static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag));
  // Shrink every polygon's UVs a little so that islands have gaps to bleed into.
  for (int32_t i = 0; i < uvw->count(); ++i) {
    host::UVWPolygon uv = uvw->get(i);
    const host::Vector c = (uv.a + uv.c) * 0.5;
    for (int k = 0; k < 4; ++k) uv.corner(k) = c + (uv.corner(k) - c) * 0.8;
    uvw->set(i, uv);
  }
  ASSERT_TRUE(host_.sculptImpl().pressButton(doc_, pigmora::kButtonFillIslands));
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(doc_);
  EXPECT_EQ(store->undoCount(), 1u);
  EXPECT_EQ(pixel(6, 6)[0], 255) << "the first island got a colour";
  EXPECT_EQ(pixel(0, 0)[0], 0) << "the gap did not";
  settings().setReal(20002, 1.0);
  ASSERT_TRUE(host_.sculptImpl().pressButton(doc_, pigmora::kButtonBleed));
  EXPECT_EQ(store->undoCount(), 2u);
  EXPECT_EQ(pixel(0, 0)[0], 255) << "the bleed reached the corner";
}

TEST_F(BrushTest, ApplyButtonMakesTheLinkedMaterialTheStamp) {
  scene();
  settings().setLink(20006, mat_);
  ASSERT_TRUE(host_.sculptImpl().pressButton(doc_, pigmora::kButtonApply));
  EXPECT_TRUE(settings().getBool(10601));
  EXPECT_EQ(settings().getFilename(10603), tex_->filePath());
  EXPECT_EQ(pigmora::findUndoStore(doc_)->undoCount(), 1u);
}

TEST_F(BrushTest, LinkedMaterialBecomesPerChannelStamps) {
  scene();
  auto stamp = std::make_unique<hostapp::PlainBitmap>(host_.memory());
  ASSERT_TRUE(stamp->init(16, 16, 32));
  host_.sculptImpl().setImage("/stamps/square.png", std::move(stamp));
  settings().setBool(20015, true);
  settings().setBool(10601, true);
  settings().setFilename(10603, "/stamps/square.png");
  ASSERT_TRUE(host_.sculptImpl().setParameter(doc_, 10626, host::Value::ofLink(mat_)));
  pigmora::PaintMaterialRegistry* registry = pigmora::PaintMaterialRegistry::existing();
  ASSERT_NE(registry->sampledChannel(0), nullptr);
  EXPECT_EQ(registry->sampledChannel(0)->width(), 16);
  EXPECT_NE(registry->sampledChannel(13), nullptr);
}

TEST_F(BrushTest, TextureUpdateModesTellTheObjectsWhenAsked) {
  scene();
  const auto updates = host_.events().updates();
  ASSERT_TRUE(stroke({{5, 5, 0}}, 1.0));
  EXPECT_EQ(host_.events().updates(), updates) << "20010: never";
  settings().setInt32(20009, 20012);
  ASSERT_TRUE(stroke({{5, 5, 0}}, 1.0));
  EXPECT_EQ(host_.events().updates(), updates + 1);
  settings().setInt32(20009, 20011);
  ASSERT_TRUE(stroke({{5, 5, 0}}, 1.0));
  EXPECT_EQ(host_.events().updates(), updates + 2);
}

class SculptBrushTest : public BrushTest {
 protected:
  // Runs one dab at the middle and answers how far the middle point (and a far one) moved in z.
  std::pair<double, double> push(int32_t flags, double strength, double size = 10.0) {
    scene(pigmora::kSculptBrushId, size);
    settings().setReal(host::kBrushStrength, strength);
    const int32_t middle = 5 * 11 + 5, far = 0;
    const double z0 = obj_->points()[middle].z;
    stroke({{size / 2, size / 2, 0}}, size * 0.15, flags);
    return {obj_->points()[middle].z - z0, obj_->points()[far].z};
  }
};

TEST_F(SculptBrushTest, StrengthZeroChangesNothing) {
  const auto [moved, far] = push(0, 0.0);
  EXPECT_EQ(moved, 0.0);
  EXPECT_EQ(far, 0.0);
  EXPECT_EQ(pixel(64, 64)[0], 0);
}

TEST_F(SculptBrushTest, PushesAlongTheNormalByTheReliefFormula) {
  const auto [moved, far] = push(0, 0.5);
  // u = s * 10 * (k * 0.002) * (R * 0.005) with k = 50 and R = |(5, 5, 0)|; the middle point
  // sits at the dab centre, where the falloff is 1. The grid's corners run a (0, 0), b (0, 1),
  // c (1, 1): (b - a) x (c - a) points down -z, and that is the dab's normal.
  const double expected = 0.5 * 10 * (50 * 0.002) * (std::sqrt(50.0) * 0.005);
  EXPECT_NEAR(moved, -expected, 1e-12);
  EXPECT_EQ(far, 0.0) << "points outside the brush have zero falloff and stay";
  EXPECT_GT(pixel(64, 64)[0], 0) << "it paints too";
}

TEST_F(SculptBrushTest, ModifierPaintsSecondaryAndPushesInwardInvertPushesOut) {
  // The modifier reverses the push: against the normal (-z), so up the z axis here.
  const auto [in, far1] = push(pigmora::kDabSecondaryColor, 0.5);
  EXPECT_GT(in, 0);
  EXPECT_EQ(pixel(64, 64)[3], 255) << "secondary colour (blue)";
  scene(pigmora::kSculptBrushId);
  settings().setReal(host::kBrushStrength, 0.5);
  settings().setBool(10216, true);
  const double z0 = obj_->points()[60].z;
  stroke({{5, 5, 0}}, 1.5, pigmora::kDabSecondaryColor);
  EXPECT_LT(obj_->points()[60].z - z0, 0) << "inverted twice: along the normal again";
  (void)far1;
}

TEST_F(SculptBrushTest, DoublingTheObjectDoublesTheDisplacement) {
  const double small = push(0, 0.5, 10.0).first;
  const double large = push(0, 0.5, 20.0).first;
  EXPECT_NEAR(large, 2 * small, 1e-12);
}

}  // namespace
