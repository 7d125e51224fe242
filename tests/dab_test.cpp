// The dab painter, driven by dabs from the host's stroke engine.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/sculpt/spatial_grid.h"
#include "plugin/paintundo.h"
#include "support/plugin_host.h"
#include "support/test_brush.h"

namespace {

constexpr int32_t kSize = 256;   // texture pixels
constexpr double kWorld = 10.0;  // object units across the mesh

struct Pixel {
  int32_t x, y;
};

class DabTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    ASSERT_TRUE(TestBrush::install(host_, doc_));
    TestBrush::restrict = false;
    host_.paintImpl().painter().setColor(0, 0, {1, 0, 0}, 1.0);
  }
  // A mesh of nx x ny quads over kWorld x kWorld with one material and a transparent texture.
  host::PaintTexture* scene(int32_t nx, int32_t ny, int32_t mode = 5) {
    auto b = builder();
    obj_ = b.addMesh("plane", hostapp::gridMesh(nx, ny, kWorld));
    host::Material* mat = b.addMaterial("M");
    host::PaintTexture* tex = b.addTexture(mat, 0, kSize, kSize, mode);
    b.addTextureTag(obj_, mat);
    host_.paintImpl().painter().setSelectedTexture(tex);
    doc_->setActiveObject(obj_);
    return tex;
  }
  host::Settings& settings() { return *host_.sculptImpl().toolData(doc_, TestBrush::kId); }
  void dabAt(double x, double y, double radius) {
    hostapp::StrokeInput in;
    in.path = {{x, y, 0}};
    in.radius = radius;
    ASSERT_TRUE(host_.sculptImpl().runStroke(doc_, in));
  }
  // Pixels whose alpha is no longer zero.
  static std::vector<Pixel> painted(host::PaintTexture* tex) {
    std::vector<Pixel> out;
    std::vector<uint8_t> row(kSize * 4);
    for (int32_t y = 0; y < kSize; ++y) {
      tex->activeLayer()->getPixelRow(0, y, kSize, row.data(), 5);
      for (int32_t x = 0; x < kSize; ++x)
        if (row[static_cast<size_t>(x) * 4] != 0) out.push_back({x, y});
    }
    return out;
  }
  static double px(double world) { return world / kWorld * kSize; }

  host::PolygonObject* obj_ = nullptr;
};

TEST_F(DabTest, DabInsideALargeQuadPaintsOnlyTheSquareAroundIt) {
  host::PaintTexture* tex = scene(1, 1);
  // Centre (7, 2) lies in triangle (a, c, d) and its r * sqrt(2) sphere stays clear of the
  // diagonal y = x, so the region is the square of side 2r with diagonals along a - c and across:
  // corners (7 +- 0.5, 2 +- 0.5), an axis-aligned square from (6.5, 1.5) to (7.5, 2.5).
  dabAt(7, 2, 0.5);
  ASSERT_EQ(TestBrush::pointCounts, std::vector<int32_t>{0});
  const auto pixels = painted(tex);
  ASSERT_GT(pixels.size(), 200u);
  for (const Pixel& p : pixels) {
    EXPECT_GE(p.x, std::floor(px(6.5)) - 1);
    EXPECT_LE(p.x, std::ceil(px(7.5)) + 1);
    EXPECT_GE(p.y, std::floor(px(1.5)) - 1);
    EXPECT_LE(p.y, std::ceil(px(2.5)) + 1);
  }
}

TEST_F(DabTest, SquareInTheOtherTriangleTurnsWithTheEdge) {
  host::PaintTexture* tex = scene(1, 1);
  // Centre (2, 7) lies in triangle (a, b, c): the diagonals run along a - b (vertical), so the
  // region is the diamond |x - 2| + |y - 7| <= r * sqrt(2).
  dabAt(2, 7, 0.5);
  const auto pixels = painted(tex);
  ASSERT_GT(pixels.size(), 200u);
  const double reach = px(0.5 * std::sqrt(2.0)) + 2;  // two pixels for rounding at the corners
  for (const Pixel& p : pixels)
    EXPECT_LE(std::abs(p.x + 0.5 - px(2)) + std::abs(p.y + 0.5 - px(7)), reach + 1)
        << p.x << "," << p.y;
}

TEST_F(DabTest, DabAcrossTheDiagonalPaintsTwoRectanglesSharingIt) {
  host::PaintTexture* tex = scene(1, 1);
  // Centre (5, 5.2), r = 1: the sphere of radius sqrt(2) crosses the diagonal. The foot of the
  // centre is M = (5.1, 5.1); both rectangles share the segment M +- r along (1, 1) / sqrt(2),
  // and reach sqrt(2) + 0.1414 towards the centre's side and sqrt(2) - 0.1414 to the other.
  dabAt(5, 5.2, 1.0);
  const auto pixels = painted(tex);
  ASSERT_GT(pixels.size(), 500u);
  const double s2 = std::sqrt(2.0);
  int above = 0, below = 0;
  for (const Pixel& p : pixels) {
    const double x = (p.x + 0.5) / kSize * kWorld - 5.1, y = (p.y + 0.5) / kSize * kWorld - 5.1;
    const double along = (x + y) / s2, across = (y - x) / s2;  // across > 0: the centre's side
    const double slack = 2 * kWorld / kSize;
    EXPECT_LE(std::abs(along), 1.0 + slack);
    EXPECT_LE(across, s2 + 0.1414 + slack);
    EXPECT_GE(across, -(s2 - 0.1414) - slack);
    (across > 0 ? above : below)++;
  }
  EXPECT_GT(above, 100);
  EXPECT_GT(below, 100);
}

TEST_F(DabTest, EdgeLineThroughTheSphereSpillsIntoTheNeighbour) {
  host::PaintTexture* tex = scene(2, 1);
  // Two quads split at x = 5. A dab at (4.7, 5) of radius 0.5 covers no point; the shared
  // edge's line x = 5 passes through its sphere, so the neighbour (x > 5) is painted too.
  dabAt(4.7, 5, 0.5);
  ASSERT_EQ(TestBrush::pointCounts, std::vector<int32_t>{0});
  int right = 0;
  for (const Pixel& p : painted(tex)) right += p.x >= px(5) ? 1 : 0;
  EXPECT_GT(right, 50);
  // Far from the edge, a dab paints its own polygon's small region only.
  host::PaintTexture* tex2 = scene(2, 1);
  dabAt(2.5, 5, 0.5);
  for (const Pixel& p : painted(tex2)) EXPECT_LT(p.x, px(5));
}

TEST_F(DabTest, WholePolygonFillsFlatAtFullOpacity) {
  host::PaintTexture* tex = scene(2, 1);
  settings().setBool(20007, true);
  dabAt(2.5, 5, 0.5);
  // The left quad covers pixel columns 0 .. 127; the bottom row and right column of each
  // triangle are left to the neighbouring triangle.
  std::vector<uint8_t> row(kSize * 4);
  tex->activeLayer()->getPixelRow(0, 100, kSize, row.data(), 5);
  for (int x = 1; x < 127; ++x) {
    EXPECT_EQ(row[static_cast<size_t>(x) * 4], 255) << x;
    EXPECT_EQ(row[static_cast<size_t>(x) * 4 + 1], 255) << x;
    EXPECT_EQ(row[static_cast<size_t>(x) * 4 + 2], 0) << x;
  }
  EXPECT_EQ(row[200 * 4], 0) << "the other quad stays untouched";
}

TEST_F(DabTest, UnselectedPolygonUnderARestrictedDabReportsFalse) {
  host::PaintTexture* tex = scene(2, 1);
  obj_->polygonSelection().select(1);
  doc_->data().setInt32(host::kDocMode, 14);
  TestBrush::restrict = true;
  dabAt(2.5, 5, 0.5);
  ASSERT_EQ(TestBrush::results, std::vector<bool>{false});
  EXPECT_TRUE(painted(tex).empty());
  dabAt(7.5, 5, 0.5);
  EXPECT_TRUE(TestBrush::results.back());
  EXPECT_FALSE(painted(tex).empty());
}

TEST_F(DabTest, ChannelsOfDifferentSizesAreNeverPainted) {
  auto b = builder();
  obj_ = b.addMesh("plane", hostapp::gridMesh(1, 1, kWorld));
  host::Material* mat = b.addMaterial("Mixed");
  host::PaintTexture* big = b.addTexture(mat, 0, kSize, kSize, 5);
  b.addTexture(mat, 1, kSize / 2, kSize / 2, 5);
  b.addTextureTag(obj_, mat);
  host_.paintImpl().painter().setPaintAllChannels(true);
  doc_->setActiveObject(obj_);
  // Nothing can be painted, so nothing is saved for undo and no change is reported: neither for
  // the single-polygon dab nor for one that covers points and goes polygon by polygon.
  pigmora::beginStep(doc_);
  auto* impl = static_cast<hostapp::PaintTextureImpl*>(big);
  impl->clearChanges();
  dabAt(7, 2, 1.0);
  dabAt(0.2, 0.2, 2.0);
  ASSERT_EQ(TestBrush::pointCounts.size(), 2u);
  EXPECT_EQ(TestBrush::pointCounts[0], 0);
  EXPECT_GT(TestBrush::pointCounts[1], 0);
  EXPECT_TRUE(painted(big).empty());
  const pigmora::PaintUndoStore* store = pigmora::findUndoStore(doc_);
  ASSERT_NE(store, nullptr);
  ASSERT_NE(store->pending(), nullptr);
  EXPECT_EQ(store->pending()->tileCount(), 0u);
  EXPECT_TRUE(impl->changes().empty());
  pigmora::endStep(doc_);
  host_.paintImpl().painter().setPaintAllChannels(false);
}

TEST_F(DabTest, ManyPolygonsUnderTheBrushAreAllPainted) {
  host::PaintTexture* tex = scene(20, 20);
  dabAt(5, 5, 1.2);
  ASSERT_EQ(TestBrush::pointCounts.size(), 1u);
  EXPECT_GT(TestBrush::pointCounts[0], 10);  // the 0.5-unit grid puts ~18 points in the brush
  const auto pixels = painted(tex);
  // Everything painted lies within the brush (falloff reaches zero at the rim).
  for (const Pixel& p : pixels) {
    const double dx = p.x + 0.5 - px(5), dy = p.y + 0.5 - px(5);
    EXPECT_LE(std::sqrt(dx * dx + dy * dy), px(1.2) + 1.5);
  }
  EXPECT_GT(pixels.size(), static_cast<size_t>(3.0 * px(1.0) * px(1.0)));
}

TEST_F(DabTest, EveryPaintableModeTakesAStroke) {
  for (int32_t mode : {1, 2, 3, 4, 5, 18, 19, 20, 21, 34, 35, 36, 37}) {
    SCOPED_TRACE(mode);
    host::PaintTexture* tex = scene(4, 4, mode);
    std::vector<uint8_t> before(static_cast<size_t>(kSize) * 16);
    tex->activeLayer()->getPixelRow(0, kSize / 2, kSize, before.data(), 37);
    hostapp::StrokeInput in;
    in.path = {{1, 5, 0}, {9, 5, 0}};
    in.radius = 1.0;
    ASSERT_TRUE(host_.sculptImpl().runStroke(doc_, in));
    EXPECT_GT(host_.sculptImpl().lastStroke().dabs, 20);
    std::vector<uint8_t> after(before.size());
    tex->activeLayer()->getPixelRow(0, kSize / 2, kSize, after.data(), 37);
    if (mode == 1) {
      // Alpha-only layers keep their pixels.
      EXPECT_EQ(before, after);
    } else {
      EXPECT_NE(before, after);
    }
  }
}

TEST_F(DabTest, BadGeometryIsSkippedWithoutHarm) {
  auto b = builder();
  hostapp::MeshData mesh = hostapp::gridMesh(2, 1, kWorld);
  mesh.uvs[0].a = {NAN, 0, 0};                  // polygon 0: a NaN UV
  mesh.polygons.push_back({0, 1, 4000, 4000});  // polygon 2: points out of range
  mesh.uvs.push_back({{0, 0, 0}, {1e300, 0, 0}, {0, -1e300, 0}, {0, 0, 0}});
  obj_ = b.addMesh("broken", mesh);
  host::Material* mat = b.addMaterial("M");
  host::PaintTexture* tex = b.addTexture(mat, 0, kSize, kSize, 5);
  b.addTextureTag(obj_, mat);
  host_.paintImpl().painter().setSelectedTexture(tex);
  doc_->setActiveObject(obj_);
  hostapp::StrokeInput in;
  in.path = {{0, 0, 0}, {10, 10, 0}};
  in.radius = 3.0;
  ASSERT_TRUE(host_.sculptImpl().runStroke(doc_, in));
  // Polygon 1 still paints; the UV tag shorter than the polygon list is not read past its end.
  static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag))->resize(1);
  ASSERT_TRUE(host_.sculptImpl().runStroke(doc_, in));
}

// The stroke engine keeps its index while the object's change counters stand still, and follows
// the mesh to wherever its points are written.
TEST_F(DabTest, IndexFollowsWrittenPointsAndStaysWhileTheyStandStill) {
  scene(4, 4);
  auto& sculpt = host_.sculptImpl();
  dabAt(5, 5, 0.5);
  const int64_t builds = sculpt.strokeIndexBuilds();
  dabAt(5, 5, 0.5);
  obj_->setDirty(host::kDirtyAll);  // what the paint brush's texture refresh does
  dabAt(2, 3, 0.5);
  EXPECT_EQ(sculpt.strokeIndexBuilds(), builds) << "an unchanged mesh is indexed once";

  hostapp::StrokeInput at;
  at.radius = 0.5;
  auto dabsAt = [&](double x, double y) {
    at.path = {{x, y, 0}};
    sculpt.runStroke(doc_, at);
    return sculpt.lastStroke().dabs;
  };
  EXPECT_EQ(dabsAt(25, 5), 0);
  // Written through the writable array, with no other notice: the plane moves 20 along x.
  host::Vector* points = obj_->writablePoints();
  for (int32_t i = 0; i < obj_->pointCount(); ++i) points[i].x += 20;
  EXPECT_EQ(dabsAt(25, 5), 1) << "the plane now spans x 20 to 30";
  EXPECT_EQ(dabsAt(5, 5), 0);
  // Asking for write access without changing anything costs a look, not a new index.
  const int64_t before = sculpt.strokeIndexBuilds();
  (void)obj_->writablePoints();
  (void)obj_->writablePolygons();
  EXPECT_EQ(dabsAt(25, 5), 1);
  EXPECT_EQ(sculpt.strokeIndexBuilds(), before);
  // A resize to fewer polygons drops the ones gone: only the first row of quads is left.
  ASSERT_TRUE(obj_->resize(obj_->pointCount(), 4));
  EXPECT_EQ(dabsAt(25, 9), 0);
  EXPECT_EQ(dabsAt(25, 1), 1);
}

TEST(SpatialGrid, FindsWhatABruteForceScanFinds) {
  hostapp::EmbeddedHost host;
  hostapp::DocumentImpl* doc = host.sceneImpl().newDocument();
  hostapp::SceneBuilder b(host, doc);
  hostapp::MeshData mesh = hostapp::gridMesh(30, 30, 3.0);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> jitter(-0.02, 0.02);
  for (auto& p : mesh.points) p.z = jitter(rng) * 10;
  host::PolygonObject* obj = b.addMesh("bumpy", mesh);
  hostapp::SpatialGrid grid;
  grid.build(*obj);
  std::uniform_real_distribution<double> pos(-0.5, 3.5), rad(0.01, 0.6);
  for (int i = 0; i < 200; ++i) {
    const host::Vector c(pos(rng), pos(rng), jitter(rng) * 10);
    const double r = rad(rng);
    std::vector<int32_t> points, polys;
    grid.pointsInSphere(c, r, points);
    grid.polygonsInSphere(c, r, polys);
    std::vector<int32_t> expectPoints, expectPolys;
    for (int32_t k = 0; k < obj->pointCount(); ++k)
      if (host::length(obj->points()[k] - c) <= r) expectPoints.push_back(k);
    for (int32_t k = 0; k < obj->polygonCount(); ++k) {
      host::Vector closest, normal;
      if (grid.polygonDistance(k, c, closest, normal) <= r) expectPolys.push_back(k);
    }
    std::sort(points.begin(), points.end());
    EXPECT_EQ(points, expectPoints);
    EXPECT_EQ(polys, expectPolys);
  }
  // A ray straight down onto the middle hits the surface near (1.55, 1.55).
  hostapp::SurfaceHit hit;
  ASSERT_TRUE(grid.raycast({1.55, 1.55, 5}, {0, 0, -1}, hit));
  EXPECT_NEAR(hit.point.x, 1.55, 1e-9);
  EXPECT_NEAR(hit.point.z, 0, 0.25);
  EXPECT_FALSE(grid.raycast({1.55, 1.55, 5}, {0, 0, 1}, hit));
}

}  // namespace
