// Material and UDIM creation: the six creation commands, run by id as the host runs them, and the
// creation functions the views call.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "hostapp/scene/primitives.h"
#include "hostapp/ui/ui_host.h"
#include "plugin/commands/material_creation.h"
#include "support/plugin_host.h"
#include "support/scene_snapshot.h"
#include "support/test_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kPolyMaterials = 1035526;
constexpr int32_t kUdimPolyMaterials = 1037913;
constexpr int32_t kSingleMaterial = 1035670;
constexpr int32_t kSingleUdim = 1037964;
constexpr int32_t kIslandMaterials = 1036152;
constexpr int32_t kUdimIslands = 1037940;

class CreateTest : public PluginHostTest {
 protected:
  void TearDown() override {
    PluginHostTest::TearDown();
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  bool run(int32_t id) { return host_.registration().callCommand(id, 0); }
  host::PolygonObject* grid(const std::string& name, int32_t nx, int32_t ny = 1) {
    host::PolygonObject* obj = builder().addMesh(name, hostapp::gridMesh(nx, ny, 2.0));
    doc_->setActiveObject(obj);
    return obj;
  }
  host::UVWTag* uvw(host::PolygonObject* obj) {
    return static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  }
  host::Material* material(const std::string& name) {
    for (host::Material* m = doc_->firstMaterial(); m; m = m->next())
      if (m->name() == name) return m;
    return nullptr;
  }
  host::Tag* tagNamed(host::Object* obj, int32_t type, const std::string& name) {
    for (int32_t i = 0; i < obj->tagCount(); ++i)
      if (obj->tagAt(i)->type() == type && obj->tagAt(i)->name() == name) return obj->tagAt(i);
    return nullptr;
  }
  int32_t materialCount() {
    int32_t n = 0;
    for (host::Material* m = doc_->firstMaterial(); m; m = m->next()) ++n;
    return n;
  }
  // A document folder of its own for textures written to disk.
  fs::path useFolder() {
    folder_ = freshTestFolder("pigmora_create");
    fs::create_directories(folder_ / "doc");
    doc_->data().setFilename(host::kDocPath, (folder_ / "doc").string());
    return folder_ / "doc";
  }
  static void expectCell(const host::UVWPolygon& uv, double u, double v) {
    EXPECT_EQ(uv.a, host::Vector(u, v, 0));
    EXPECT_EQ(uv.b, host::Vector(u, v + 1, 0));
    EXPECT_EQ(uv.c, host::Vector(u + 1, v + 1, 0));
    EXPECT_EQ(uv.d, host::Vector(u + 1, v, 0));
  }
  fs::path folder_;
};

TEST_F(CreateTest, PerPolygonAsksAboveTenPolygonsAndNoCreatesNothing) {
  grid("Ten", 10);
  EXPECT_TRUE(run(kPolyMaterials));
  EXPECT_TRUE(host_.uiHost().messages().empty());
  EXPECT_EQ(materialCount(), 10);

  host::PolygonObject* eleven = grid("Eleven", 11);
  const std::string before = sceneText(doc_);
  EXPECT_FALSE(run(kPolyMaterials)) << "no answer queued: the careful user says No";
  ASSERT_EQ(host_.uiHost().messages().size(), 1u);
  const auto& asked = host_.uiHost().messages()[0];
  EXPECT_EQ(asked.type, 52);
  EXPECT_EQ(asked.text,
            "Warning: Are you sure you want to do this? This will create 11 materials and "
            "textures on this object.");
  EXPECT_EQ(sceneText(doc_), before);

  host_.uiHost().queueAnswer(host::kAnswerYes);
  EXPECT_TRUE(run(kPolyMaterials));
  EXPECT_EQ(materialCount(), 21);
  // Each polygon: a material, a Color texture, and a tag restricted to a selection of it alone.
  host::Material* m = material("Eleven_POLY_7");
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->channelEnabled(0));
  EXPECT_EQ(m->data().getInt32(host::kMatColorUsed), 1);
  EXPECT_EQ(m->channel(0)->data().getString(host::kChannelFile), "Eleven_POLY_7.tif");
  host::PaintTexture* tex = host_.paint().textureOf(m, 0, doc_);
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(tex->width(), 128) << "the per-polygon fallback size";
  auto* sel = static_cast<host::SelectionTag*>(
      tagNamed(eleven, host::kTypePolygonSelectionTag, "Eleven_POLY_7"));
  ASSERT_NE(sel, nullptr);
  EXPECT_EQ(sel->selection().indices(), std::vector<int32_t>{7});
  expectCell(uvw(eleven)->get(7), 0, 0);
}

TEST_F(CreateTest, UdimPerPolygonLaysTenTilesARow) {
  host::PolygonObject* obj = grid("G", 23);
  host_.uiHost().queueAnswer(host::kAnswerYes);
  ASSERT_TRUE(run(kUdimPolyMaterials));
  // Polygon i sits in column i mod 10 and row i div 10: tile 1001 + column + 10 row.
  expectCell(uvw(obj)->get(0), 0, 0);
  expectCell(uvw(obj)->get(9), 9, 0);
  expectCell(uvw(obj)->get(10), 0, 1);
  expectCell(uvw(obj)->get(22), 2, 2);
  for (int32_t i : {0, 9, 10, 22}) {
    const std::string name = "G_UDIM_" + std::to_string(i == 22 ? 1023 : 1001 + i);
    SCOPED_TRACE(name);
    ASSERT_NE(material(name), nullptr);
    auto* sel =
        static_cast<host::SelectionTag*>(tagNamed(obj, host::kTypePolygonSelectionTag, name));
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->selection().indices(), std::vector<int32_t>{i});
    bool restricted = false;
    for (int32_t t = 0; t < obj->tagCount(); ++t) {
      host::Tag* tag = obj->tagAt(t);
      restricted |= tag->type() == host::kTypeTextureTag &&
                    tag->data().getString(host::kTexRestriction) == name &&
                    static_cast<host::TextureTag*>(tag)->material() == material(name);
    }
    EXPECT_TRUE(restricted);
  }
}

TEST_F(CreateTest, PerPolygonColoursComeFromOneSequenceStartingAtOneHundred) {
  grid("C", 3);
  ASSERT_TRUE(run(kPolyMaterials));
  // state' = (state * 69069 + 69069) mod 2^31, draw = state' / 2147483649, from state 100:
  //   101 * 69069 = 6975969                 -> d1 = 0.0032484387032462106
  //   6975970 * 69069 mod 2^31 = 786934778  -> d2 = 0.36644506158007073
  //   786934779 * 69069 mod 2^31 = 2134603519 -> d3 = 0.994002222086302
  // and on: 1588153088, 828447949, 369657590, 447061707, 1585218908, 31032441.
  // Each material takes (d3, d2, d1) of its three draws.
  auto draw = [](double state) { return state / 2147483649.0; };
  const host::Vector expected[3] = {
      {draw(2134603519), draw(786934778), draw(6975969)},
      {draw(369657590), draw(828447949), draw(1588153088)},
      {draw(31032441), draw(1585218908), draw(447061707)},
  };
  for (int32_t i = 0; i < 3; ++i) {
    host::Material* m = material("C_POLY_" + std::to_string(i));
    ASSERT_NE(m, nullptr);
    const host::Vector c = m->data().getVector(host::kMatColor);
    EXPECT_DOUBLE_EQ(c.x, expected[i].x) << i;
    EXPECT_DOUBLE_EQ(c.y, expected[i].y) << i;
    EXPECT_DOUBLE_EQ(c.z, expected[i].z) << i;
  }
  EXPECT_NEAR(expected[0].x, 0.994002222086302, 1e-15);
}

TEST_F(CreateTest, SingleUdimTakesTheTileAfterTheHighestNamedOne) {
  host::PolygonObject* obj = grid("P", 3);
  builder().addSelectionTag(obj, "UDIM_1001", {1});
  builder().addSelectionTag(obj, "Left_UDIM_1004", {2});
  obj->polygonSelection().select(0);
  ASSERT_TRUE(run(kSingleUdim));
  auto* sel =
      static_cast<host::SelectionTag*>(tagNamed(obj, host::kTypePolygonSelectionTag, "UDIM_1005"));
  ASSERT_NE(sel, nullptr);
  EXPECT_EQ(sel->selection().indices(), std::vector<int32_t>{0});
  ASSERT_NE(material("P_UDIM_1005"), nullptr);
  // Tile 1005: u offset 4, v offset 0; the polygon fills 4 .. 5 inside a margin.
  for (int k = 0; k < 4; ++k) {
    const host::Vector p = uvw(obj)->get(0).corner(k);
    EXPECT_GT(p.x, 4.0);
    EXPECT_LT(p.x, 5.0);
    EXPECT_GT(p.y, 0.0);
    EXPECT_LT(p.y, 1.0);
  }
  EXPECT_EQ(uvw(obj)->get(1).a, hostapp::gridMesh(3, 1, 2.0).uvs[1].a) << "others stay";
}

TEST_F(CreateTest, SingleMaterialNamesAfterTheFirstFreeUVNumber) {
  host::PolygonObject* obj = grid("Obj", 2);
  builder().addSelectionTag(obj, "UV_0", {1});
  obj->polygonSelection().select(0);
  ASSERT_TRUE(run(kSingleMaterial));
  EXPECT_NE(tagNamed(obj, host::kTypePolygonSelectionTag, "UV_1"), nullptr);
  host::Material* m = material("Obj_UV_1");
  ASSERT_NE(m, nullptr);
  const host::Vector c = m->data().getVector(host::kMatColor);
  EXPECT_EQ(c, host::Vector(0.75, 0.75, 0.75));
  EXPECT_EQ(m->channel(0)->data().getString(host::kChannelFile), "Obj_UV_1_color.tif");
  EXPECT_EQ(host_.paintImpl().painter().selectedTexture(), host_.paint().textureOf(m, 0, doc_))
      << "the new texture is the one painted";
}

TEST_F(CreateTest, SingleMaterialWithoutSelectionTakesEveryPolygonAndKeepsTheUVs) {
  host::PolygonObject* obj = grid("Obj", 3);
  const hostapp::MeshData mesh = hostapp::gridMesh(3, 1, 2.0);
  ASSERT_TRUE(run(kSingleMaterial));
  auto* sel =
      static_cast<host::SelectionTag*>(tagNamed(obj, host::kTypePolygonSelectionTag, "UV_0"));
  ASSERT_NE(sel, nullptr);
  EXPECT_EQ(sel->selection().indices(), (std::vector<int32_t>{0, 1, 2}));
  for (int32_t i = 0; i < 3; ++i)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(uvw(obj)->get(i).corner(k), mesh.uvs[i].corner(k));
}

TEST_F(CreateTest, IslandsFillTheirTilesTurnedHalfARound) {
  host::PolygonObject* obj = grid("P", 2);
  ASSERT_TRUE(run(kIslandMaterials));
  // One island, u and v 0 .. 1. Size 1024: margin m = 10 / 1024 = 0.009765625, span
  // S = 1 + 2m = 1.01953125, centre 0.5. u' = 0.5 - (u - 0.5) / S:
  //   u = 0   -> 0.5 + 0.5 / 1.01953125 = 0.99042145593869735
  //   u = 0.5 -> 0.5
  //   u = 1   -> 0.5 - 0.49042145593869735 = 0.0095785440613026
  const host::UVWPolygon uv = uvw(obj)->get(0);  // a (0, 0), b (0, 1), c (0.5, 1), d (0.5, 0)
  EXPECT_NEAR(uv.a.x, 0.99042145593869735, 1e-15);
  EXPECT_NEAR(uv.a.y, 0.99042145593869735, 1e-15);
  EXPECT_NEAR(uv.b.y, 0.0095785440613026, 1e-15);
  EXPECT_NEAR(uv.c.x, 0.5, 1e-15);
  EXPECT_EQ(uv.a.z, 0.0);
  ASSERT_NE(material("P_UV_0"), nullptr);
  EXPECT_NE(tagNamed(obj, host::kTypePolygonSelectionTag, "UV_0"), nullptr);
  EXPECT_EQ(doc_->activeMaterial(), material("P_UV_0"));
}

TEST_F(CreateTest, UdimIslandsTakeOneTileEach) {
  host::PolygonObject* obj = builder().addMesh("Box", hostapp::uvBox(2, 2, 2));
  doc_->setActiveObject(obj);
  ASSERT_TRUE(run(kUdimIslands));
  for (int32_t k = 0; k < 6; ++k) {
    const std::string name = "UDIM_" + std::to_string(1001 + k);
    auto* sel =
        static_cast<host::SelectionTag*>(tagNamed(obj, host::kTypePolygonSelectionTag, name));
    ASSERT_NE(sel, nullptr) << name;
    ASSERT_NE(material("Box_" + name), nullptr);
    // Tile 1001 + k has u offset k: its island's UVs lie in k .. k + 1.
    for (int32_t p : sel->selection().indices())
      for (int c = 0; c < 4; ++c) {
        EXPECT_GT(uvw(obj)->get(p).corner(c).x, k);
        EXPECT_LT(uvw(obj)->get(p).corner(c).x, k + 1);
      }
  }
  EXPECT_EQ(doc_->selectedMaterials().size(), 6u);
}

TEST_F(CreateTest, NormalTexturesStartFlat) {
  host::Material* mat = builder().addMaterial("N");
  ASSERT_TRUE(pigmora::createChannelTexture(mat, 13, "N_normal.tif", host::kFormatTIFF, 8, 8));
  host::PaintTexture* tex = host_.paint().textureOf(mat, 13, doc_);
  ASSERT_NE(tex, nullptr);
  uint8_t px[4] = {};
  tex->firstLayer()->getPixelRow(5, 6, 1, px, host::kModeARGB8);
  EXPECT_EQ(px[1], 128);
  EXPECT_EQ(px[2], 128);
  EXPECT_EQ(px[3], 255);
  EXPECT_EQ(mat->channel(13)->data().getString(host::kChannelFile), "N_normal.tif");
}

TEST_F(CreateTest, PaintedTexelsFollowTheirPolygonsIntoTheNewTexture) {
  host::PolygonObject* obj = grid("P", 2);  // polygon 1: u 0.5 .. 1, v 0 .. 1
  host::Material* src = builder().addMaterial("Src");
  const host::Vector red(255, 0, 0);
  host::PaintTexture* srcTex = builder().addTexture(src, 0, 64, 64, host::kModeARGB8, &red);
  host::TextureTag* srcTag = builder().addTextureTag(obj, src);
  // A blue mark at source pixels 44 .. 51 x 12 .. 19, inside polygon 1.
  const uint8_t blue[4] = {255, 0, 0, 255};
  for (int32_t y = 12; y < 20; ++y)
    for (int32_t x = 44; x < 52; ++x) srcTex->firstLayer()->setPixelRow(x, y, 1, blue, 5);
  obj->polygonSelection().select(1);
  doc_->startUndo();
  ASSERT_TRUE(pigmora::createMaterialFromPolygons(uvw(obj), obj, srcTag, nullptr, 64,
                                                  host::kFormatTIFF, nullptr, false));
  doc_->endUndo();
  host::Material* made = material("P_UV_0");
  ASSERT_NE(made, nullptr);
  host::PaintTexture* tex = host_.paint().textureOf(made, 0, doc_);
  ASSERT_NE(tex, nullptr);
  ASSERT_NE(tex, srcTex);
  // New UVs: m = 10 / 64 = 0.15625, Su = 0.5 + 2m = 0.8125, Sv = 1 + 2m = 1.3125, centre
  // (0.75, 0.5). A new pixel (x, y) shows the old place u = (x / 64 - 0.5) Su + 0.75,
  // v = (y / 64 - 0.5) Sv + 0.5:
  //   (32, 20) -> (0.75, 0.254), source pixel (48, 16.3): the blue mark
  //   (32, 40) -> (0.75, 0.664), source pixel (48, 42.5): red
  //   (20, 20) -> (0.598, 0.254), source pixel (38.3, 16.3): red
  // and (2, 2) lies outside the polygon: the new texture's white.
  auto at = [&](int32_t x, int32_t y) {
    uint8_t px[4] = {};
    tex->firstLayer()->getPixelRow(x, y, 1, px, host::kModeARGB8);
    return std::vector<int>{px[1], px[2], px[3]};
  };
  EXPECT_EQ(at(32, 20), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(at(32, 40), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(at(20, 20), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(at(2, 2), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(srcTex->firstLayer()->width(), 64) << "the source stays";
}

TEST_F(CreateTest, EveryCreationCommandUndoesToTheSceneBefore) {
  host::PolygonObject* obj = grid("P", 3);
  host::Material* old = builder().addMaterial("Old");
  builder().addSelectionTag(obj, "Part", {2});
  builder().addTextureTag(obj, old);
  builder().addTextureTag(obj, old, "Part");
  obj->polygonSelection().select(1);
  for (int32_t id : {kPolyMaterials, kUdimPolyMaterials, kSingleMaterial, kSingleUdim,
                     kIslandMaterials, kUdimIslands}) {
    SCOPED_TRACE(id);
    const std::string before = sceneText(doc_);
    ASSERT_TRUE(run(id));
    ASSERT_NE(sceneText(doc_), before);
    ASSERT_TRUE(doc_->undo());
    EXPECT_EQ(sceneText(doc_), before);
  }
}

TEST_F(CreateTest, TexturesAreWrittenInTheDocumentFolderUnderSafeNames) {
  const fs::path folder = useFolder();
  host::PolygonObject* obj = grid("../../escape/x\x01y", 2);
  ASSERT_TRUE(run(kSingleMaterial));
  ASSERT_TRUE(run(kUdimIslands));
  int files = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder_)) {
    if (!e.is_regular_file()) continue;
    ++files;
    EXPECT_EQ(e.path().parent_path(), folder) << e.path();
  }
  EXPECT_EQ(files, 2);
  // Separators and the control character turn into '_', and so do the leading dots.
  EXPECT_TRUE(fs::exists(folder / "___.._escape_x_y_UV_0_color.tif"));
  EXPECT_TRUE(fs::exists(folder / "___.._escape_x_y_UDIM_1001_color.tif"));
  EXPECT_FALSE(fs::exists(folder_ / "escape"));
  (void)obj;
}

TEST_F(CreateTest, ATextureTheHostCannotWriteLeavesTheChannelWithout) {
  doc_->data().setFilename(host::kDocPath, "/nonexistent/pigmora/folder");
  host::PolygonObject* obj = grid("P", 2);
  ASSERT_TRUE(run(kSingleMaterial));
  host::Material* m = material("P_UV_0");
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->channelEnabled(0));
  EXPECT_EQ(m->channel(0)->data().getString(host::kChannelFile), "");
  EXPECT_EQ(host_.paint().textureOf(m, 0, doc_), nullptr);
  EXPECT_NE(tagNamed(obj, host::kTypePolygonSelectionTag, "UV_0"), nullptr) << "the rest is made";
}

TEST_F(CreateTest, WithoutUVsOrAPolygonObjectNothingIsCreated) {
  hostapp::MeshData mesh = hostapp::gridMesh(2, 1, 2.0);
  mesh.uvs.clear();
  host::PolygonObject* bare = builder().addMesh("Bare", mesh);
  doc_->setActiveObject(bare);
  const std::string before = sceneText(doc_);
  for (int32_t id : {kSingleMaterial, kSingleUdim, kIslandMaterials, kUdimIslands})
    EXPECT_FALSE(run(id)) << id;
  EXPECT_EQ(sceneText(doc_), before);

  host::Object* cam = host_.scene().createObject(host::kTypeCamera);
  doc_->insertObject(cam, nullptr, nullptr);
  doc_->setActiveObject(cam);
  for (int32_t id : {kPolyMaterials, kSingleMaterial, kIslandMaterials}) {
    EXPECT_EQ(host_.registration().find(id)->command->getState(doc_), 0);
    EXPECT_FALSE(host_.registration().find(id)->command->execute(doc_));
  }
  EXPECT_EQ(materialCount(), 0);
}

TEST_F(CreateTest, UVBoundsThatCannotBeFilledStopAfterTheSelectionTag) {
  host::PolygonObject* obj = grid("P", 2);
  host::UVWPolygon uv = uvw(obj)->get(0);
  uv.a.x = std::numeric_limits<double>::infinity();
  uvw(obj)->set(0, uv);
  obj->polygonSelection().select(0);
  const std::string before = sceneText(doc_);
  EXPECT_FALSE(run(kSingleMaterial));
  EXPECT_NE(tagNamed(obj, host::kTypePolygonSelectionTag, "UV_0"), nullptr);
  EXPECT_EQ(materialCount(), 0);
  EXPECT_TRUE(uvw(obj)->get(0).a.x > 1e300) << "the UVs are not touched";
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(sceneText(doc_), before);
}

}  // namespace
