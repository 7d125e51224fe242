// Flood fills: UV islands in random colours, the active layers, the UV area of polygons and the
// brush's polygon fill.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "hostapp/scene/primitives.h"
#include "plugin/fill/floodlayers.h"
#include "plugin/paintundo.h"
#include "support/plugin_host.h"

namespace {

constexpr int32_t kSize = 64;

class FillTest : public PluginHostTest {
 protected:
  host::PaintTexture* setUp(const hostapp::MeshData& mesh, const std::string& matName = "M") {
    auto b = builder();
    obj_ = b.addMesh("obj", mesh);
    mat_ = b.addMaterial(matName);
    tex_ = b.addTexture(mat_, 0, kSize, kSize, 5);
    b.addTextureTag(obj_, mat_);
    doc_->setActiveObject(obj_);
    host_.paintImpl().painter().setSelectedTexture(tex_);
    return tex_;
  }
  std::array<uint8_t, 4> pixel(int x, int y, host::PaintBitmap* layer = nullptr) {
    std::array<uint8_t, 4> p{};
    (layer ? layer : tex_->activeLayer())->getPixelRow(x, y, 1, p.data(), 5);
    return p;
  }
  host::PolygonObject* obj_ = nullptr;
  host::Material* mat_ = nullptr;
  host::PaintTexture* tex_ = nullptr;
};

TEST(IslandColors, FollowTheGeneratorSequence) {
  pigmora::IslandColorGenerator gen;
  gen.seed(0);
  // state = (state * 69069 + 69069) & 0x7FFFFFFF from 0: 69069, then 69069^2 + 69069 masked.
  EXPECT_DOUBLE_EQ(gen.draw(), 69069.0 / 2147483649.0);
  const uint64_t second = (uint64_t{69069} * 69069 + 69069) & 0x7FFFFFFF;
  EXPECT_DOUBLE_EQ(gen.draw(), static_cast<double>(second) / 2147483649.0);
}

TEST_F(FillTest, IslandsGetTheirOwnColoursAndRunsDiffer) {
  hostapp::MeshData mesh = hostapp::gridMesh(2, 1, 2.0);
  mesh.uvs[1].a.x += 1e-9;  // the shared edge is split in UV
  setUp(mesh);
  pigmora::FloodLayers(obj_, pigmora::kFloodFillIslands, 1.0, 1, 0, 0);
  const auto left = pixel(10, 30), right = pixel(50, 30);
  EXPECT_EQ(left[0], 255);
  EXPECT_EQ(right[0], 255);
  EXPECT_NE(left, right) << "two islands, two colours";
  pigmora::FloodLayers(obj_, pigmora::kFloodFillIslands, 1.0, 1, 0, 0);
  EXPECT_NE(pixel(10, 30), left) << "a second run draws new colours";
}

TEST_F(FillTest, UdimNamedMaterialFillsItsIslandsInTheSquare) {
  hostapp::MeshData mesh = hostapp::gridMesh(1, 1, 1.0);
  mesh.uvs[0] = {{1.25, 1.25, 0}, {1.25, 1.75, 0}, {1.75, 1.75, 0}, {1.75, 1.25, 0}};
  setUp(mesh, "obj_UDIM_1012");
  pigmora::FloodLayers(obj_, pigmora::kFloodFillIslands, 1.0, 1, 0, 0);
  EXPECT_EQ(pixel(32, 32)[0], 255) << "tile 1012's (0.25 .. 0.75) lands in the middle";
  EXPECT_EQ(pixel(5, 5)[0], 0);
}

TEST_F(FillTest, FillCurrentLayerUsesThePainterColourInOneUndoStep) {
  setUp(hostapp::gridMesh(1, 1, 1.0));
  host_.paintImpl().painter().setColor(0, 0, {1.0, 0.5, 0.0}, 1.0);
  pigmora::fillCurrentLayer(doc_);
  EXPECT_EQ(pixel(0, 0), (std::array<uint8_t, 4>{255, 255, 127, 0}));
  EXPECT_EQ(pixel(63, 63), (std::array<uint8_t, 4>{255, 255, 127, 0}));
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(doc_);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->undoCount(), 1u);
  EXPECT_EQ(store->undoStep(0)->tileCount(), 1u);
}

TEST_F(FillTest, FillCurrentLayerTruncatesToEightBitsAndTheHostConvertsIntoEachDepth) {
  // Colour (0.3, 0.5, 0.7): 76.5, 127.5 and 178.5 of 255 truncate to 76, 127 and 178, which the
  // host carries into 16 bits as v * 257 and into float as v / 255.
  auto b = builder();
  obj_ = b.addMesh("obj", hostapp::gridMesh(1, 1, 1.0));
  mat_ = b.addMaterial("Depths");
  host::PaintTexture* eight = b.addTexture(mat_, 0, 8, 8, 5);
  host::PaintTexture* sixteen = b.addTexture(mat_, 1, 8, 8, 21);
  host::PaintTexture* floats = b.addTexture(mat_, 2, 8, 8, 37);
  b.addTextureTag(obj_, mat_);
  doc_->setActiveObject(obj_);
  hostapp::PainterImpl& painter = host_.paintImpl().painter();
  for (int32_t c : {0, 1, 2}) painter.setColor(0, c, {0.3, 0.5, 0.7}, 1.0);
  pigmora::fillCurrentLayer(doc_);
  uint8_t p8[4];
  eight->activeLayer()->getPixelRow(3, 3, 1, p8, 5);
  EXPECT_EQ((std::array<int, 4>{p8[0], p8[1], p8[2], p8[3]}),
            (std::array<int, 4>{255, 76, 127, 178}));
  uint16_t p16[4];
  sixteen->activeLayer()->getPixelRow(7, 7, 1, p16, 21);
  EXPECT_EQ((std::array<int, 4>{p16[0], p16[1], p16[2], p16[3]}),
            (std::array<int, 4>{65535, 76 * 257, 127 * 257, 178 * 257}));
  float pf[4];
  floats->activeLayer()->getPixelRow(0, 0, 1, pf, 37);
  EXPECT_EQ(pf[0], 1.f);
  EXPECT_EQ(pf[1], 76 / 255.f);
  EXPECT_EQ(pf[2], 127 / 255.f);
  EXPECT_EQ(pf[3], 178 / 255.f);

  // The fill takes the painter's colour as the host answers it, without the brightness the
  // brush multiplies in: (1, 0.5, 0) at brightness 0.5 still fills 255 and 127.5 -> 127.
  painter.setColor(0, 0, {1.0, 0.5, 0.0}, 0.5);
  pigmora::fillCurrentLayer(doc_);
  eight->activeLayer()->getPixelRow(3, 3, 1, p8, 5);
  EXPECT_EQ((std::array<int, 4>{p8[0], p8[1], p8[2], p8[3]}),
            (std::array<int, 4>{255, 255, 127, 0}));
}

TEST_F(FillTest, FillCurrentLayerUVsPaintsSelectedPolygonsOnly) {
  setUp(hostapp::gridMesh(2, 1, 2.0));
  host_.paintImpl().painter().setColor(0, 0, {0, 0, 1}, 1.0);
  obj_->polygonSelection().select(1);
  pigmora::fillCurrentLayerUVs(doc_);
  EXPECT_EQ(pixel(10, 30)[0], 0) << "polygon 0 is not selected";
  EXPECT_EQ(pixel(50, 30), (std::array<uint8_t, 4>{255, 0, 0, 255}));
  obj_->polygonSelection().deselectAll();
  pigmora::fillCurrentLayerUVs(doc_);
  EXPECT_EQ(pixel(10, 30), (std::array<uint8_t, 4>{255, 0, 0, 255}));
}

TEST_F(FillTest, SkippedChannelSavesTilesAndGrowsDirtyButPaintsNothing) {
  setUp(hostapp::gridMesh(1, 1, 1.0));
  pigmora::beginStep(doc_);
  pigmora::fillPolygons(obj_, mat_, 0x40000000, nullptr);
  pigmora::PaintUndoStore* store = pigmora::findUndoStore(doc_);
  ASSERT_NE(store->pending(), nullptr);
  EXPECT_EQ(store->pending()->tileCount(), 1u);
  EXPECT_EQ(pixel(32, 32)[0], 0);
  auto* impl = static_cast<hostapp::PaintTextureImpl*>(tex_);
  ASSERT_FALSE(impl->changes().empty());
  EXPECT_EQ(impl->changes().back().xmax, kSize);
  pigmora::endStep(doc_);
}

class PolygonFillTest : public FillTest {
 protected:
  // A strip of quads folding upwards: polygon i is tilted by i * step degrees about the x axis,
  // the first by `first` degrees.
  void setUpStrip(int n, double step = 35.0, double first = 0.0) {
    hostapp::MeshData mesh;
    double y = 0, z = 0;
    for (int i = 0; i <= n; ++i) {
      mesh.points.push_back({0, y, z});
      mesh.points.push_back({1, y, z});
      const double a = (first + i * step) * M_PI / 180.0;
      y += std::cos(a);
      z += std::sin(a);
    }
    for (int i = 0; i < n; ++i) {
      mesh.polygons.push_back({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
      const double v0 = double(i) / n, v1 = double(i + 1) / n;
      mesh.uvs.push_back({{0, v0, 0}, {0, v1, 0}, {1, v1, 0}, {1, v0, 0}});
    }
    setUp(mesh);
    host_.paintImpl().painter().setColor(0, 0, {0, 1, 0}, 1.0);
    target_ = prepareTarget();
  }
  pigmora::PaintTarget* prepareTarget() {
    pigmora::PaintMaterialRegistry* registry = pigmora::PaintMaterialRegistry::instance();
    pigmora::ToolContext tool;
    tool.settings = &settings_;
    tool.currentObject = obj_;
    registry->bind(&tool, obj_, obj_);
    return registry->targetForPolygon(0);
  }
  // The angle as the host stores it, in radians.
  bool run(double angle, bool across = false) {
    settings_.setReal(pigmora::kSettingFillAngle, angle);
    settings_.setBool(pigmora::kSettingFillAcross, across);
    pigmora::PolygonFillInput in;
    in.target = target_;
    in.object = obj_;
    in.startPolygon = 0;
    in.settings = &settings_;
    return pigmora::polygonFill(in);
  }
  // Which polygons of the strip got paint: each covers a band of rows.
  std::vector<bool> painted(int n) {
    std::vector<bool> out;
    for (int i = 0; i < n; ++i) out.push_back(pixel(32, (2 * i + 1) * kSize / (2 * n))[0] != 0);
    return out;
  }
  host::Settings settings_;
  pigmora::PaintTarget* target_ = nullptr;
};

TEST_F(PolygonFillTest, AngleZeroPaintsNothing) {
  setUpStrip(6);
  ASSERT_NE(target_, nullptr);
  EXPECT_TRUE(run(0));
  EXPECT_EQ(painted(6), std::vector<bool>(6, false));
}

TEST_F(PolygonFillTest, NinetyDegreesStopsWhereTheNormalTurnsTooFar) {
  setUpStrip(6);
  // Polygon normals turn by 35 degrees a step: 0, 35, 70 stay below 90; 105 and beyond do not.
  EXPECT_TRUE(run(M_PI / 2));
  EXPECT_EQ(painted(6), (std::vector<bool>{true, true, true, false, false, false}));
}

TEST_F(PolygonFillTest, AngleZeroPaintsNothingOnAnyTiltedSurface) {
  // A normal normalised in single precision can dot with itself to a hair above 1; at angle 0
  // no polygon may pass however the surface is tilted.
  for (int tilt = 1; tilt < 90; ++tilt) {
    SCOPED_TRACE(tilt);
    setUpStrip(3, 0.0, tilt);
    ASSERT_NE(target_, nullptr);
    EXPECT_TRUE(run(0));
    EXPECT_EQ(painted(3), std::vector<bool>(3, false));
  }
}

TEST_F(PolygonFillTest, OneDegreeStepsStopAtTheAngle) {
  // Normals turn by 1 degree a step from a surface tilted by 20 degrees: with 2.5 degrees the
  // polygons at 0, 1 and 2 degrees from the first are painted, the rest are not.
  setUpStrip(6, 1.0, 20.0);
  EXPECT_TRUE(run(2.5 * M_PI / 180.0));
  EXPECT_EQ(painted(6), (std::vector<bool>{true, true, true, false, false, false}));
}

TEST_F(PolygonFillTest, SingleQuadStopsAtTheFourthCorner) {
  setUp(hostapp::gridMesh(1, 1, 1.0));
  target_ = prepareTarget();
  ASSERT_NE(target_, nullptr);
  EXPECT_FALSE(run(M_PI / 4));
  EXPECT_NE(pixel(32, 32)[0], 0) << "the pixels written before the stop stay";
}

}  // namespace
