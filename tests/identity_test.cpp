// Byte identity of painted layers: fixed strokes, fills and bleeds through the registered paint
// brush, each layer reduced to a 64-bit checksum. The stored values were taken from the
// one-pixel-at-a-time paths before any of the fast paths existed, so a faster path that changes
// even one byte of any layer fails here.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "plugin/brushes/paintbrushbase.h"
#include "plugin/fill/floodlayers.h"
#include "plugin/paintchannels.h"
#include "plugin/paintundo.h"
#include "plugin/uvislands.h"
#include "support/plugin_host.h"

namespace {

// FNV-1a over a layer's rows in its own colour mode.
uint64_t layerChecksum(const host::PaintBitmap* layer) {
  int32_t bits = 0, components = 0;
  EXPECT_TRUE(pigmora::ColorModeInfo(layer->colorMode(), bits, components));
  const size_t rowBytes = static_cast<size_t>(layer->width()) * (bits / 8) * components;
  std::vector<uint8_t> row(rowBytes);
  uint64_t h = 1469598103934665603ull;
  for (int32_t y = 0; y < layer->height(); ++y) {
    EXPECT_TRUE(layer->getPixelRow(0, y, layer->width(), row.data(), layer->colorMode()));
    for (uint8_t b : row) h = (h ^ b) * 1099511628211ull;
  }
  return h;
}

uint64_t fresh = 0;  // the checksum of the layer as the last scene made it

class IdentityTest : public PluginHostTest {
 protected:
  // One object with channel 0 of its material in `mode`, painted with the paint brush.
  void scene(const hostapp::MeshData& mesh, int32_t mode, int32_t size = 256) {
    auto b = builder();
    obj_ = b.addMesh("object", mesh);
    mat_ = b.addMaterial("M");
    const host::Vector grey{40, 90, 160};
    tex_ = b.addTexture(mat_, 0, size, size, mode, transparent_ ? nullptr : &grey);
    b.addTextureTag(obj_, mat_);
    doc_->setActiveObject(obj_);
    auto& painter = host_.paintImpl().painter();
    painter.setSelectedTexture(tex_);
    painter.setColor(0, 0, {0.9, 0.3, 0.1}, 1.0);
    painter.setColor(1, 0, {0.2, 0.7, 1.0}, 1.0);
    fresh = checksum();
    ASSERT_TRUE(host_.sculptImpl().activateTool(doc_, pigmora::kPaintBrushId));
    settings().setReal(host::kBrushStrength, 0.7);
  }
  // Paints through the pattern stencil (added with addImage), `scale` object units wide.
  void stencilOn(double scale) {
    settings().setBool(10401, true);
    settings().setFilename(host::kBrushStencil, "/stencils/pattern.png");
    settings().setReal(host::kBrushStencilScale, scale);
  }
  host::Settings& settings() {
    return *host_.sculptImpl().toolData(doc_, doc_->data().getInt32(host::kDocActiveTool));
  }
  void stroke(std::vector<host::Vector> path, double radius, int32_t flags = 0) {
    hostapp::StrokeInput in;
    in.path = std::move(path);
    in.radius = radius;
    in.dabFlags = flags;
    in.spacing = 0.2;
    ASSERT_TRUE(host_.sculptImpl().runStroke(doc_, in));
  }
  // Two crossing strokes over the sphere's equator, the second in the secondary colour, so that
  // alpha modes blend over pixels already partly covered.
  void sphereStrokes() {
    stroke({{5, 0, 0.5}, {3.5, 3.5, -0.5}, {0, 5, 1}}, 1.3);
    stroke({{4.5, 1, -1.5}, {4.5, 2, 1.5}}, 0.9, pigmora::kDabSecondaryColor);
  }
  void addImage(const std::string& path, int32_t w, int32_t h, int32_t bits) {
    auto image = std::make_unique<hostapp::PlainBitmap>(host_.memory());
    ASSERT_TRUE(image->init(w, h, bits));
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        image->setPixel(x, y, static_cast<uint8_t>(x * 37 + y * 11),
                        static_cast<uint8_t>(200 - y * 13), static_cast<uint8_t>((x ^ y) * 29));
        if (bits == 32) image->setAlpha(x, y, static_cast<uint8_t>(255 - (x + y) * 7));
      }
    host_.sculptImpl().setImage(path, std::move(image));
  }
  uint64_t checksum() const { return layerChecksum(tex_->activeLayer()); }

  host::PolygonObject* obj_ = nullptr;
  host::Material* mat_ = nullptr;
  host::PaintTexture* tex_ = nullptr;
  bool transparent_ = false;
};

hostapp::MeshData sphere() {
  return hostapp::uvSphere(24, 12, 5.0);
}

struct ModeCase {
  int32_t mode;
  uint64_t opaque;       // over a grey background
  uint64_t transparent;  // over a transparent one (the same as opaque where there is no alpha)
};

// Set PIGMORA_IDENTITY_PRINT=1 to print the checksums instead of only comparing them.
bool printing() {
  return std::getenv("PIGMORA_IDENTITY_PRINT") != nullptr;
}

void expectChecksum(const char* what, uint64_t expected, uint64_t got) {
  EXPECT_NE(got, fresh) << what << ": nothing was painted";
  if (printing()) std::printf("%s 0x%016llxull\n", what, static_cast<unsigned long long>(got));
  EXPECT_EQ(got, expected) << what;
}

TEST_F(IdentityTest, FalloffStrokesInEveryPaintableMode) {
  const ModeCase cases[] = {
      {2, 0x00ff7af79aeb50edull, 0x129666c793545513ull},
      {3, 0x056865e8b6759ed7ull, 0x0286e1f73d16a1b2ull},
      {4, 0x69a355d06882b9f2ull, 0x989a65b4d5dd0925ull},
      {5, 0x6a11d254d5303820ull, 0x559b68f49cb448acull},
      {18, 0x02a0f602e2b0a964ull, 0xcf44e0d412d9bcaaull},
      {19, 0x8db6780de8624604ull, 0xfee19c43b46d0d9aull},
      {20, 0x27fb7d10c716c9b4ull, 0x99c5135aa4eb6dd5ull},
      {21, 0x437aede74a460e88ull, 0x5838d25c9fba77f0ull},
      {34, 0xd37b31ac8acbb15cull, 0xa9eba072c99196d0ull},
      {35, 0x1943d4e45a6ea5ccull, 0x9b09323c7f669570ull},
      {36, 0x485864d3c5bba2c1ull, 0x6bdfcdcf66081a64ull},
      {37, 0x5b5f08bcb9693cc1ull, 0x3847c2cad2d45a5bull},
  };
  for (const ModeCase& c : cases) {
    for (bool clear : {false, true}) {
      TearDown();
      SetUp();
      transparent_ = clear;
      scene(sphere(), c.mode);
      sphereStrokes();
      const std::string what = "mode " + std::to_string(c.mode) + (clear ? " clear" : " grey");
      expectChecksum(what.c_str(), clear ? c.transparent : c.opaque, checksum());
    }
  }
}

TEST_F(IdentityTest, StampsWithAndWithoutTiling) {
  addImage("/stamps/pattern.png", 12, 9, 32);
  const uint64_t expected[2][2] = {{0x49c63c5ce0f89b75ull, 0x28d3baeda59aeacbull},
                                   {0xf446c70ab3198f07ull, 0xb2a4de64265cfd0bull}};
  for (int tiled = 0; tiled < 2; ++tiled) {
    for (int32_t mode : {5, 37}) {
      TearDown();
      SetUp();
      addImage("/stamps/pattern.png", 12, 9, 32);
      scene(sphere(), mode);
      settings().setBool(10601, true);
      settings().setFilename(host::kBrushStamp, "/stamps/pattern.png");
      settings().setReal(host::kBrushStampRotation, 30.0);
      settings().setBool(10608, tiled != 0);
      settings().setBool(10609, tiled != 0);
      sphereStrokes();
      const std::string what =
          std::string("stamp ") + (tiled ? "tiled " : "") + std::to_string(mode);
      expectChecksum(what.c_str(), expected[tiled][mode == 5 ? 0 : 1], checksum());
    }
  }
}

TEST_F(IdentityTest, StencilsAsMaskAndInTheirOwnColours) {
  const uint64_t expected[2][3] = {
      {0xe2ecd2407819a505ull, 0xb1011218f62e7f5bull, 0x5d3102ff17fc7a0eull},
      {0x54232f66b04a391aull, 0x6fb22d117736d640ull, 0xeec2e2b8a0b02c34ull}};
  for (int own = 0; own < 2; ++own) {
    int i = 0;
    for (int32_t mode : {4, 5, 21}) {
      TearDown();
      SetUp();
      addImage("/stencils/pattern.png", 20, 16, 24);
      scene(sphere(), mode);
      stencilOn(6.0);
      settings().setBool(pigmora::kSettingStencilColor, own != 0);
      sphereStrokes();
      const std::string what =
          std::string("stencil ") + (own ? "own " : "mask ") + std::to_string(mode);
      expectChecksum(what.c_str(), expected[own][i++], checksum());
    }
  }
}

// A stroke keeps its stencil's pixels; a stencil redrawn between strokes paints its new pixels in
// the next stroke, not the old ones.
TEST_F(IdentityTest, AStencilRedrawnBetweenStrokesPaintsItsNewPixels) {
  const uint64_t expected[2] = {0xdc6910b41160e9ebull, 0x48ee1a77fff05a35ull};
  int i = 0;
  for (int32_t mode : {5, 21}) {
    TearDown();
    SetUp();
    addImage("/stencils/pattern.png", 20, 16, 24);
    scene(sphere(), mode);
    stencilOn(6.0);
    stroke({{5, 0, 0.5}, {3.5, 3.5, -0.5}, {0, 5, 1}}, 1.3);
    // Other pixels in the same bitmap, as a host that redraws a stencil in place would leave it:
    // each row turned round.
    auto* image = const_cast<host::Bitmap*>(host_.sculptImpl().image("/stencils/pattern.png"));
    ASSERT_NE(image, nullptr);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 20; ++x)
        image->setPixel(x, y, static_cast<uint8_t>((19 - x) * 37 + y * 11),
                        static_cast<uint8_t>(200 - y * 13),
                        static_cast<uint8_t>(((19 - x) ^ y) * 29));
    stroke({{4.5, 1, -1.5}, {4.5, 2, 1.5}}, 0.9, pigmora::kDabSecondaryColor);
    expectChecksum(("redrawn stencil " + std::to_string(mode)).c_str(), expected[i++], checksum());
  }
}

TEST_F(IdentityTest, BlurOverPaintedPixels) {
  const uint64_t expected[3] = {0x860f5a691f0cdf3dull, 0x05f8c5dfb874fd73ull,
                                0x109f7b92a0b1602bull};
  int i = 0;
  for (int32_t mode : {5, 20, 37}) {
    TearDown();
    SetUp();
    scene(sphere(), mode);
    sphereStrokes();
    stroke({{5, 0.5, -0.5}, {3.5, 3.5, 0.5}}, 1.0, pigmora::kDabBlur);
    expectChecksum(("blur " + std::to_string(mode)).c_str(), expected[i++], checksum());
  }
}

TEST_F(IdentityTest, PointTestAndWholePolygonOpacity) {
  scene(sphere(), 5);
  settings().setInt32(pigmora::kSettingBrushMode, 4);
  sphereStrokes();
  expectChecksum("point test", 0x18a4a325cfbcbec5ull, checksum());
  TearDown();
  SetUp();
  scene(sphere(), 5);
  settings().setBool(pigmora::kSettingWholePolygon, true);
  stroke({{5, 0, 0.5}, {4, 3, 0}}, 1.0);
  expectChecksum("whole polygon", 0x73ef4d404a6e4eb7ull, checksum());
}

TEST_F(IdentityTest, SinglePolygonDabsRegionSpillAndFlat) {
  // One large quad: a dab that reaches no point paints only the region around it, both clear
  // of the diagonal and across it.
  scene(hostapp::gridMesh(1, 1, 10.0), 5);
  stroke({{3, 7, 0}}, 1.0);
  stroke({{5.2, 5.0, 0}}, 1.2, pigmora::kDabSecondaryColor);
  expectChecksum("region", 0x471b89ced84c2e18ull, checksum());
  // Four quads: a dab near the middle edge spills into the quad across it.
  TearDown();
  SetUp();
  scene(hostapp::gridMesh(2, 2, 10.0), 37);
  stroke({{4.6, 2.5, 0}}, 1.0);
  expectChecksum("spill", 0x77c5e7c18fb83bcbull, checksum());
  // Whole polygon with no stamp: the flat fill.
  TearDown();
  SetUp();
  scene(hostapp::gridMesh(2, 2, 10.0), 20);
  settings().setBool(pigmora::kSettingWholePolygon, true);
  stroke({{7.5, 7.5, 0}}, 1.0);
  expectChecksum("flat", 0x92e2f8320fbf0383ull, checksum());
}

TEST_F(IdentityTest, SmallDabsOnLargePolygons) {
  // Four quads of 512 pixels a side: dabs that hold a grid point paint each quad around it
  // through the falloff, their spans far longer than the brush is wide.
  const uint64_t expected[3] = {0x2302d9c0996f3991ull, 0xcfd3729bdd7ed1bcull,
                                0xae2f561c0b36df44ull};
  int i = 0;
  for (int32_t mode : {5, 21, 37}) {
    TearDown();
    SetUp();
    scene(hostapp::gridMesh(2, 2, 10.0), mode, 1024);
    stroke({{5, 5, 0}, {5.5, 4.2, 0}}, 0.9);
    stroke({{1, 5, 0}, {9, 5.3, 0}}, 0.35, pigmora::kDabSecondaryColor);
    stroke({{5, 0.2, 0}, {5, 9.8, 0}}, 2.5);
    expectChecksum(("large " + std::to_string(mode)).c_str(), expected[i++], checksum());
  }
}

TEST_F(IdentityTest, SmallDabsOnCurvedAndFoldedSurfaces) {
  // Polygons at every angle to the brush, stretched two to one in the layer, and the fold of a
  // box: dabs far smaller than the triangles they touch, plain and through a stencil.
  const uint64_t expected[5] = {0x1a22c36c136ad607ull, 0x5d1a9adfc9921672ull, 0x3b54b765d55dd465ull,
                                0x86d5b4aea710cdcaull, 0x002761772584c3e2ull};
  int i = 0;
  for (int32_t mode : {5, 37}) {
    TearDown();
    SetUp();
    scene(hostapp::uvSphere(32, 16, 5.0), mode, 1024);
    stroke({{5, 0, 0.5}, {3.5, 3.5, -0.5}, {0, 4.2, 2.7}}, 0.45);
    stroke({{4.6, 1.2, -1.5}, {4.6, 1.9, 1.5}}, 0.2, pigmora::kDabSecondaryColor);
    expectChecksum(("curved " + std::to_string(mode)).c_str(), expected[i++], checksum());
  }
  for (int32_t mode : {5, 21}) {
    TearDown();
    SetUp();
    scene(hostapp::uvBox(4, 3, 2), mode, 1024);
    stroke({{2, -1.5, 1}, {2, 1.5, -1}, {0, 1.5, 1}}, 0.3);
    expectChecksum(("folded " + std::to_string(mode)).c_str(), expected[i++], checksum());
  }
  TearDown();
  SetUp();
  addImage("/stencils/pattern.png", 20, 16, 24);
  scene(hostapp::uvSphere(32, 16, 5.0), 5, 1024);
  stencilOn(3.0);
  stroke({{5, 0, 0.5}, {3.5, 3.5, -0.5}}, 0.45);
  expectChecksum("curved stencil", expected[i++], checksum());
}

TEST_F(IdentityTest, UndoAndRedoRestoreEveryByte) {
  scene(sphere(), 21);
  const uint64_t before = checksum();
  sphereStrokes();
  const uint64_t after = checksum();
  EXPECT_NE(before, after);
  ASSERT_TRUE(doc_->undo());
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(checksum(), before);
  ASSERT_TRUE(doc_->redo());
  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(checksum(), after);
}

TEST_F(IdentityTest, BleedInEveryDepth) {
  const uint64_t expected[3] = {0xb0f865fbf64a0d6bull, 0xb97981a6e23404b9ull,
                                0x9e8c031f488efc37ull};
  int i = 0;
  for (int32_t mode : {5, 21, 37}) {
    TearDown();
    SetUp();
    transparent_ = true;
    scene(hostapp::uvBox(4, 3, 2), mode, 200);
    // The box's faces are separate islands: paint across them, then bleed the seams.
    stroke({{2, -1.5, 1}, {2, 1.5, -1}, {0, 1.5, 1}}, 1.4);
    pigmora::FloodLayers(obj_, pigmora::kFloodBleed, 1.0, 0, 6.0, 0);
    expectChecksum(("bleed " + std::to_string(mode)).c_str(), expected[i++], checksum());
  }
}

TEST_F(IdentityTest, UVIslandsOfASphereAndABox) {
  for (int box = 0; box < 2; ++box) {
    TearDown();
    SetUp();
    scene(box ? hostapp::uvBox(4, 3, 2) : sphere(), 5, 64);
    pigmora::UVIslandList islands;
    auto neighbour = host_.scene().buildNeighbour(obj_, nullptr);
    pigmora::findUVIslands(islands, static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag)), obj_,
                           neighbour.get(), nullptr, nullptr);
    // Each face of the box is its own island; the sphere is one piece cut by its seam.
    ASSERT_EQ(islands.size(), box ? 6u : 1u);
    size_t polygons = 0;
    for (const auto* island : islands) polygons += island->polygons.size();
    EXPECT_EQ(polygons, static_cast<size_t>(obj_->polygonCount()));
  }
}

// The stroke engine keeps its index of the mesh across strokes; a changed mesh must be seen.
TEST_F(IdentityTest, StrokesOnAnUnchangedMeshShareOneIndex) {
  scene(sphere(), 5);
  auto& sculpt = host_.sculptImpl();
  const int64_t before = sculpt.strokeIndexBuilds();
  sphereStrokes();
  stroke({{0, 5, 0}}, 1.0);
  EXPECT_EQ(sculpt.strokeIndexBuilds(), before + 1) << "three strokes, one index";
}

TEST_F(IdentityTest, AMeshMovedBetweenStrokesIsIndexedAgain) {
  scene(hostapp::gridMesh(4, 4, 10.0), 5, 128);
  stroke({{2.5, 2.5, 0}}, 1.0);
  const uint64_t first = checksum();
  // Moved in place, with no notice to anyone: the plane now lies at z = 20.
  host::Vector* points = obj_->writablePoints();
  for (int32_t i = 0; i < obj_->pointCount(); ++i) points[i].z += 20.0;
  const int64_t builds = host_.sculptImpl().strokeIndexBuilds();
  // Far from where the plane was (beyond the search reach of 4 radii) and on where it is now.
  stroke({{7.5, 7.5, 20}}, 1.0);
  EXPECT_EQ(host_.sculptImpl().strokeIndexBuilds(), builds + 1);
  EXPECT_NE(checksum(), first) << "the stroke found the moved plane";
  // Pixel (96, 96) lies under the second dab's centre, (7.5, 7.5) in a 10-unit, 128-pixel grid.
  std::array<uint8_t, 4> p{};
  ASSERT_TRUE(tex_->activeLayer()->getPixelRow(96, 96, 1, p.data(), 5));
  EXPECT_GT(p[1], 100) << "red painted over the grey 40 where the plane is now";
}

}  // namespace
