// UV islands, island borders and the UV edits.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "hostapp/scene/primitives.h"
#include "plugin/uvedits.h"
#include "plugin/uvislands.h"
#include "support/plugin_host.h"

namespace {

class IslandsTest : public PluginHostTest {
 protected:
  pigmora::UVIslandList islands(host::PolygonObject* obj, const host::Selection* sel = nullptr) {
    auto n = host_.scene().buildNeighbour(obj, sel);
    pigmora::UVIslandList list;
    pigmora::findUVIslands(list, static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)), obj,
                           n.get(), sel, nullptr);
    return list;
  }
  static size_t borderCount(const pigmora::UVIslandList& list) {
    size_t n = 0;
    for (const auto* i : list) n += i->borders.size();
    return n;
  }
};

TEST_F(IslandsTest, BoxWithOneShellPerFaceHasSixIslandsAllBorders) {
  host::PolygonObject* box = builder().addMesh("box", hostapp::uvBox(2, 2, 2));
  const auto list = islands(box);
  ASSERT_EQ(list.size(), 6u);
  for (const auto* island : list) {
    EXPECT_EQ(island->polygons.size(), 1u);
    ASSERT_EQ(island->borders.size(), 4u);
    for (const auto& b : island->borders) EXPECT_GE(b.across, 0) << "every side meets another face";
  }
}

TEST_F(IslandsTest, TheSmallestUVDifferenceSplitsAnIsland) {
  hostapp::MeshData mesh = hostapp::gridMesh(2, 1, 2.0);
  host::PolygonObject* joined = builder().addMesh("joined", mesh);
  EXPECT_EQ(islands(joined).size(), 1u);
  EXPECT_EQ(borderCount(islands(joined)), 6u);  // the outer sides only
  // Polygon 1's corner on the shared edge moves by one ulp.
  mesh.uvs[1].a.y = std::nextafter(mesh.uvs[1].a.y, 1.0);
  host::PolygonObject* split = builder().addMesh("split", mesh);
  const auto list = islands(split);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(borderCount(list), 8u);
}

TEST_F(IslandsTest, MaterialSplitMakesTwoIslandsWithoutABorderOnTheSplit) {
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("plane", hostapp::gridMesh(2, 1, 2.0));
  host::Material* left = b.addMaterial("Left");
  host::Material* right = b.addMaterial("Right");
  b.addSelectionTag(obj, "L", {0});
  b.addSelectionTag(obj, "R", {1});
  b.addTextureTag(obj, left, "L");
  b.addTextureTag(obj, right, "R");
  const auto list = islands(obj);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->material.get(), left);
  EXPECT_EQ(list[1]->material.get(), right);
  EXPECT_EQ(borderCount(list), 6u);
  for (const auto* island : list)
    for (const auto& e : island->borders) EXPECT_EQ(e.across, -1);
}

TEST_F(IslandsTest, TriangleThirdSideIsSideTwoFromCToA) {
  hostapp::MeshData mesh;
  mesh.points = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  mesh.polygons = {{0, 1, 2, 2}};
  mesh.uvs = {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 1, 0}}};
  const auto list = islands(builder().addMesh("tri", mesh));
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list[0]->borders.size(), 3u);
  const auto& third = list[0]->borders[2];
  EXPECT_EQ(third.side, 2);
  EXPECT_EQ(third.a, 2);
  EXPECT_EQ(third.b, 0);
}

TEST_F(IslandsTest, TileNumberComesFromTheMeanUV) {
  hostapp::MeshData mesh = hostapp::gridMesh(1, 1, 1.0);
  for (auto& uv : mesh.uvs)
    for (int k = 0; k < 4; ++k) uv.corner(k) = uv.corner(k) + host::Vector(2, 1, 0);
  EXPECT_EQ(islands(builder().addMesh("t1013", mesh))[0]->tile, 1013);
  hostapp::MeshData straddle = hostapp::gridMesh(1, 1, 1.0);
  // u from 0.6 to 1.6: the mean 1.1 lies in the second column.
  straddle.uvs[0] = {{0.6, 0.2, 0}, {0.6, 0.8, 0}, {1.6, 0.8, 0}, {1.6, 0.2, 0}};
  EXPECT_EQ(islands(builder().addMesh("straddle", straddle))[0]->tile, 1002);
}

TEST_F(IslandsTest, SelectionLimitsTheSearch) {
  host::PolygonObject* obj = builder().addMesh("grid", hostapp::gridMesh(3, 1, 3.0));
  host::Selection sel;
  sel.select(0);
  sel.select(1);
  const auto list = islands(obj, &sel);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->polygons.size(), 2u);
}

// The finder itself does not stop at the selection's edge: a caller that builds the
// neighbourhood over every polygon lets an island grow into the unselected ones beyond.
TEST_F(IslandsTest, AFullNeighbourhoodLetsGrowthPassTheSelection) {
  host::PolygonObject* obj = builder().addMesh("strip", hostapp::gridMesh(3, 1, 3.0));
  host::Selection sel;
  sel.select(0);
  auto all = host_.scene().buildNeighbour(obj, nullptr);
  pigmora::UVIslandList list;
  pigmora::findUVIslands(list, static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)), obj,
                         all.get(), &sel, nullptr);
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list[0]->polygons.size(), 3u);
  EXPECT_EQ(list[0]->polygons[0], 0);
  EXPECT_EQ(list[0]->polygons[1], 1);
  EXPECT_EQ(list[0]->polygons[2], 2);
  EXPECT_EQ(list[0]->borders.size(), 8u);  // the strip's outline
}

// A side is continuous when the polygon across has each end's UV at any of its corners, not
// only at the corners on the shared points; the test is one-sided, so the way back is a seam.
TEST_F(IslandsTest, ContinuityLooksAtEveryCornerOfTheNeighbour) {
  hostapp::MeshData mesh;
  mesh.points = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {2, 1, 0}, {2, 0, 0}};
  mesh.polygons = {{0, 1, 2, 3}, {3, 2, 4, 5}};
  // Polygon 1 keeps (1, 0), polygon 0's UV at point 3, at its corner on point 5, and moves its
  // corner on point 3 away.
  mesh.uvs = {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}},
              {{5, 5, 0}, {1, 1, 0}, {2, 1, 0}, {1, 0, 0}}};
  const auto list = islands(builder().addMesh("odd", mesh));
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list[0]->polygons.size(), 2u);
  EXPECT_EQ(list[0]->polygons[1], 1);
  ASSERT_EQ(list[0]->borders.size(), 7u);
  int seams = 0;
  for (const auto& e : list[0]->borders)
    if (e.across >= 0) {
      ++seams;
      EXPECT_EQ(e.polygon, 1);
      EXPECT_EQ(e.side, 0);
      EXPECT_EQ(e.a, 3);
      EXPECT_EQ(e.b, 2);
    }
  EXPECT_EQ(seams, 1);
}

TEST(FlipV, MirrorsInsideTheUnitRow) {
  EXPECT_DOUBLE_EQ(pigmora::flipV(0.3), 0.3);
  EXPECT_DOUBLE_EQ(pigmora::flipV(1.0), 1.0);
  EXPECT_DOUBLE_EQ(pigmora::flipV(1.25), 1.75);
  EXPECT_DOUBLE_EQ(pigmora::flipV(2.9), 2.1);
  EXPECT_DOUBLE_EQ(pigmora::flipV(2.0), 3.0);
  EXPECT_DOUBLE_EQ(pigmora::flipV(-0.25), 1.75);
}

TEST_F(IslandsTest, FlipUVsChangesOnlyVOutsideTheFirstRow) {
  hostapp::MeshData mesh = hostapp::gridMesh(2, 1, 2.0);
  mesh.uvs[1] = {{0.5, 1.25, 0.5}, {0.5, 2.0, 0}, {1.0, -0.25, 0}, {1.0, 0.5, 0}};
  host::PolygonObject* obj = builder().addMesh("uv", mesh);
  doc_->setActiveObject(obj);
  pigmora::flipUVsVertical(doc_);
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  const host::UVWPolygon p0 = uvw->get(0), p1 = uvw->get(1);
  EXPECT_EQ(p0.c, mesh.uvs[0].c);
  EXPECT_EQ(p1.a, host::Vector(0.5, 1.75, 0.5));
  EXPECT_EQ(p1.b, host::Vector(0.5, 3.0, 0));
  EXPECT_EQ(p1.c, host::Vector(1.0, 1.75, 0));
  EXPECT_EQ(p1.d, host::Vector(1.0, 0.5, 0));
  // With nothing active or selected nothing changes.
  doc_->setActiveObject(nullptr);
  pigmora::flipUVsVertical(doc_);
  EXPECT_EQ(uvw->get(1).a, host::Vector(0.5, 1.75, 0.5));
}

TEST_F(IslandsTest, FlipUVsClosesItsUndoGroupThenRedrawsThenPostsTheUpdate) {
  hostapp::MeshData mesh = hostapp::gridMesh(1, 1, 1.0);
  mesh.uvs[0].a.y = 1.25;
  host::PolygonObject* obj = builder().addMesh("uv", mesh);
  doc_->setActiveObject(obj);
  // At the redraw the group must be closed and the update not yet posted.
  struct Redraw {
    bool groupOpen;
    int64_t updates;
  };
  std::vector<Redraw> redraws;
  host_.events().setOnRedraw([&](int32_t) {
    redraws.push_back({doc_->undoList().groupOpen(), host_.events().updates()});
  });
  const size_t groups = doc_->undoList().undoCount();
  const int64_t updates = host_.events().updates();
  pigmora::flipUVsVertical(doc_);
  host_.events().setOnRedraw(nullptr);
  ASSERT_EQ(redraws.size(), 1u);
  EXPECT_FALSE(redraws[0].groupOpen);
  EXPECT_EQ(redraws[0].updates, updates);
  EXPECT_EQ(host_.events().updates(), updates + 1);
  EXPECT_EQ(doc_->undoList().undoCount(), groups + 1);
}

TEST_F(IslandsTest, SelectEdgesSelectsTheBordersInTheDocumentMode) {
  hostapp::MeshData mesh = hostapp::gridMesh(2, 2, 2.0);
  // Split polygon 3 (top right) off in UV.
  for (int k = 0; k < 4; ++k) mesh.uvs[3].corner(k).x += 5;
  host::PolygonObject* obj = builder().addMesh("grid", mesh);
  doc_->setActiveObject(obj);

  doc_->data().setInt32(host::kDocMode, 7);
  ASSERT_TRUE(pigmora::selectIslandEdges(doc_));
  EXPECT_EQ(obj->polygonSelection().indices(), (std::vector<int32_t>{0, 1, 2, 3}));

  doc_->data().setInt32(host::kDocMode, 6);
  ASSERT_TRUE(pigmora::selectIslandEdges(doc_));
  // Polygon 0 (a b c d = (0,0) (0,1) (1,1) (1,0)): sides 0 (x = 0) and 3 (y = 0) are mesh
  // borders; its inner sides are continuous. Polygon 3: all four sides are borders.
  const auto edges = obj->edgeSelection().indices();
  EXPECT_TRUE(obj->edgeSelection().isSelected(0 * 4 + 0));
  EXPECT_TRUE(obj->edgeSelection().isSelected(0 * 4 + 3));
  EXPECT_FALSE(obj->edgeSelection().isSelected(0 * 4 + 2));
  for (int s = 0; s < 4; ++s) EXPECT_TRUE(obj->edgeSelection().isSelected(3 * 4 + s));
  // The L-shaped island has 2 + 3 + 3 border sides, the split-off quad 4.
  EXPECT_EQ(edges.size(), 12u);

  doc_->data().setInt32(host::kDocMode, 5);
  ASSERT_TRUE(pigmora::selectIslandEdges(doc_));
  EXPECT_EQ(obj->pointSelection().count(), 9);  // every polygon has a border side

  doc_->data().setInt32(host::kDocMode, 11);
  const auto before = obj->pointSelection().indices();
  EXPECT_FALSE(pigmora::selectIslandEdges(doc_));
  EXPECT_EQ(obj->pointSelection().indices(), before);
}

}  // namespace
