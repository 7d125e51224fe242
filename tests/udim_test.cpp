// The UDIM loader, driven through its window as the user drives it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hostapp/paint/image_io.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/ui/ui_host.h"
#include "plugin/commands/udim_loader.h"
#include "plugin/preferences.h"
#include "support/plugin_host.h"
#include "support/scene_snapshot.h"
#include "support/test_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kSetupUdims = 1037970;
const char* const kKeys[14] = {
    "color", "luminance", "transparency",  "reflection", "environment",  "fog",       "bump",
    "alpha", "specular",  "specularcolor", "glow",       "displacement", "diffusion", "normal"};

class UdimTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    folder_ = freshTestFolder("pigmora_udim");
  }
  void TearDown() override {
    PluginHostTest::TearDown();
    fs::remove_all(folder_);
  }
  // A 4 x 4 image file of one colour in the test folder.
  std::string image(const std::string& name, uint8_t r = 200, uint8_t g = 100, uint8_t b = 50) {
    hostapp::PlainBitmap bmp(host_.memory());
    EXPECT_TRUE(bmp.init(4, 4, 24));
    bmp.clear(r, g, b);
    std::string error;
    const fs::path p = folder_ / name;
    EXPECT_TRUE(hostapp::savePlainBitmap(bmp, p.string(), error)) << error;
    return p.string();
  }
  // An object of `count` unit quads side by side, quad i's UVs in the square at (u[i], v[i]).
  host::PolygonObject* quads(const std::string& name, const std::vector<host::Vector>& corners) {
    hostapp::MeshData mesh;
    for (size_t i = 0; i < corners.size(); ++i) {
      const double x = 2.0 * static_cast<double>(i);
      const int32_t p = static_cast<int32_t>(mesh.points.size());
      mesh.points.insert(mesh.points.end(), {{x, 0, 0}, {x, 1, 0}, {x + 1, 1, 0}, {x + 1, 0, 0}});
      mesh.polygons.push_back({p, p + 1, p + 2, p + 3});
      const host::Vector& c = corners[i];
      mesh.uvs.push_back({{c.x + 0.1, c.y + 0.1, 0},
                          {c.x + 0.1, c.y + 0.9, 0},
                          {c.x + 0.9, c.y + 0.9, 0},
                          {c.x + 0.9, c.y + 0.1, 0}});
    }
    host::PolygonObject* obj = builder().addMesh(name, mesh);
    doc_->setActiveObject(obj);
    return obj;
  }
  hostapp::Window* openLoader() {
    EXPECT_TRUE(host_.registration().callCommand(kSetupUdims, 0));
    hostapp::Window* w = host_.uiHost().window(kSetupUdims);
    EXPECT_NE(w, nullptr);
    return w;
  }
  host::Material* material(const std::string& name) {
    for (host::Material* m = doc_->firstMaterial(); m; m = m->next())
      if (m->name() == name) return m;
    return nullptr;
  }
  int32_t materialCount() {
    int32_t n = 0;
    for (host::Material* m = doc_->firstMaterial(); m; m = m->next()) ++n;
    return n;
  }
  std::vector<std::string> selectionNames(host::Object* obj) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < obj->tagCount(); ++i)
      if (obj->tagAt(i)->type() == host::kTypePolygonSelectionTag)
        out.push_back(obj->tagAt(i)->name());
    return out;
  }
  host::SelectionTag* selection(host::Object* obj, const std::string& name) {
    for (int32_t i = 0; i < obj->tagCount(); ++i)
      if (obj->tagAt(i)->type() == host::kTypePolygonSelectionTag && obj->tagAt(i)->name() == name)
        return static_cast<host::SelectionTag*>(obj->tagAt(i));
    return nullptr;
  }
  std::string linkedFile(host::Material* m, int32_t channel) {
    return m && m->channel(channel) ? m->channel(channel)->data().getString(host::kChannelFile)
                                    : "(disabled)";
  }
  fs::path folder_;
};

TEST_F(UdimTest, TokensDefaultToTheChannelKeysInTheirSubContainer) {
  for (int32_t c = 0; c < 14; ++c) EXPECT_EQ(pigmora::textureToken(c), kKeys[c]);
  const host::Settings* tokens = pigmora::preferencesContainer()->getContainer(1012);
  ASSERT_NE(tokens, nullptr);
  EXPECT_EQ(tokens->size(), 14u);
  for (int32_t c = 0; c < 14; ++c) EXPECT_EQ(tokens->getString(2000 + c), kKeys[c]);
  EXPECT_EQ(pigmora::textureToken(14), "");
}

TEST_F(UdimTest, TokensFallBackToTheKeysWithoutPreferences) {
  host_.settings().setAvailable(false);
  EXPECT_EQ(pigmora::textureToken(9), "specularcolor");
  host_.settings().setAvailable(true);
}

TEST_F(UdimTest, TheWindowShowsItsGadgetsWithTheStoredTokens) {
  pigmora::textureToken(0);
  pigmora::preferencesContainer()->getContainer(1012)->setString(2006, "height");
  quads("Q", {{0, 0, 0}});
  hostapp::Window* w = openLoader();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->title(), "UDIM Loader");
  EXPECT_EQ(w->type(), host::kDialogAsync);
  ASSERT_NE(w->find(1001), nullptr);
  EXPECT_TRUE(w->find(1001)->is(host::GadgetKind::kFilename));
  ASSERT_NE(w->find(1005), nullptr);
  EXPECT_TRUE(w->find(1005)->value.toBool()) << "Create New Textures starts on";
  EXPECT_EQ(w->find(2000)->value.toString(), "color");
  EXPECT_EQ(w->find(2006)->value.toString(), "height");
  EXPECT_EQ(w->find(2013)->value.toString(), "normal");
  EXPECT_EQ(w->find(1004)->text, "Setup Selected");
  EXPECT_EQ(w->find(1003)->text, "Load Textures");
  EXPECT_EQ(w->find(1006)->text, "Close");
  for (const char* title : {"Texture", "Create", "Texture Tokens"}) {
    hostapp::Widget* g = w->findByText(title);
    ASSERT_NE(g, nullptr) << title;
    EXPECT_TRUE(g->isGroup());
    EXPECT_EQ(g->border, host::kBorderTitled);
    EXPECT_EQ(g->spaceLeft, 20);
    EXPECT_EQ(g->spaceTop, 10);
  }
  EXPECT_TRUE(w->click(1006));
  EXPECT_FALSE(w->isOpen());
}

TEST_F(UdimTest, TokensEditedInTheWindowAreStoredWhenItClosesAndReadAgain) {
  quads("Q", {{0, 0, 0}});
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->setText(2000, "albedo"));
  ASSERT_TRUE(w->setText(2013, "nrm"));
  EXPECT_EQ(pigmora::textureToken(0), "color") << "stored only when the window goes";
  ASSERT_TRUE(w->closeByUser());
  EXPECT_EQ(pigmora::textureToken(0), "albedo");
  EXPECT_EQ(pigmora::textureToken(13), "nrm");
  EXPECT_EQ(pigmora::textureToken(6), "bump");
  w = openLoader();
  EXPECT_EQ(w->find(2000)->value.toString(), "albedo");
}

TEST_F(UdimTest, TokensEditedInTheWindowMatchFilesAtOnce) {
  const std::string albedo = image("wall_1001_albedo.png");
  image("wall_1001_color.png");
  quads("Wall", {{0, 0, 0}});
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->setText(2000, "albedo"));
  ASSERT_TRUE(w->setFilename(1001, albedo));
  ASSERT_TRUE(w->click(1004));
  EXPECT_EQ(linkedFile(material("Wall_UDIM_1001"), 0), "wall_1001_albedo.png");
  EXPECT_EQ(pigmora::textureToken(0), "albedo");
}

TEST_F(UdimTest, AFileFeedsTheChannelOfTheLongestTokenItsNameHolds) {
  // Walked in name order: "wall_1001_color" comes before "wall_1001_specularcolor". Both hold
  // "color"; the second holds "specularcolor" too, which is longer.
  const std::string color = image("wall_1001_color.png");
  image("wall_1001_specularcolor.png");
  image("wall_1001_bump.png");
  image("wall_1001_notes.png");  // the tile but no token: ignored
  host::PolygonObject* obj = quads("Wall", {{0, 0, 0}});
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->setFilename(1001, color));
  ASSERT_TRUE(w->click(1004));
  host::Material* m = material("Wall_UDIM_1001");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(linkedFile(m, 0), "wall_1001_color.png");
  EXPECT_EQ(linkedFile(m, 9), "wall_1001_specularcolor.png");
  EXPECT_EQ(linkedFile(m, 6), "wall_1001_bump.png");
  EXPECT_EQ(m->channel(0)->data().getString(host::kChannelDirectory), folder_.string());
  EXPECT_EQ(m->data().getVector(host::kMatColor), host::Vector(0.75, 0.75, 0.75));
  EXPECT_NE(host_.paint().textureOf(m, 0, doc_), nullptr) << "the file opens as its texture";
  int32_t enabled = 0;
  for (int32_t c = 0; c < 14; ++c) enabled += m->channelEnabled(c) ? 1 : 0;
  EXPECT_EQ(enabled, 3);
  EXPECT_EQ(selectionNames(obj), std::vector<std::string>{"UDIM_1001"});
}

TEST_F(UdimTest, TheTileIsFoundAnywhereInTheName) {
  image("wall_11001_color.png");
  host::PolygonObject* obj = quads("Wall", {{0, 0, 0}});
  doc_->startUndo();
  pigmora::setupUdimTiles(nullptr, doc_, obj, (folder_ / "wall_11001_color.png").string());
  doc_->endUndo();
  EXPECT_EQ(linkedFile(material("Wall_UDIM_1001"), 0), "wall_11001_color.png");
}

TEST_F(UdimTest, IslandsOfOneTileShareASelectionAndAMaterialAndASecondSetupAddsNone) {
  // Quads 0 and 2 in tile 1001, quad 1 in tile 1002 (u 1 .. 2).
  host::PolygonObject* obj = quads("Q", {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}});
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->click(1004));
  EXPECT_EQ(materialCount(), 2);
  EXPECT_EQ(selectionNames(obj), (std::vector<std::string>{"UDIM_1001", "UDIM_1002"}));
  EXPECT_EQ(selection(obj, "UDIM_1001")->selection().indices(), (std::vector<int32_t>{0, 2}));
  host::Material* first = material("Q_UDIM_1001");
  ASSERT_NE(first, nullptr);
  // Blank textures, as "Create New Textures" is on and no file was chosen.
  EXPECT_EQ(linkedFile(first, 0), "Q_UDIM_1001_color.tif");
  EXPECT_NE(host_.paint().textureOf(first, 0, doc_), nullptr);

  selection(obj, "UDIM_1001")->selection().deselect(2);
  const int32_t tags = obj->tagCount();
  ASSERT_TRUE(w->click(1004));
  EXPECT_EQ(materialCount(), 2);
  EXPECT_EQ(obj->tagCount(), tags);
  EXPECT_EQ(selection(obj, "UDIM_1001")->selection().indices(), (std::vector<int32_t>{0, 2}));
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(selection(obj, "UDIM_1001")->selection().indices(), std::vector<int32_t>{0})
      << "undo puts the home selection back too";
}

TEST_F(UdimTest, WithoutCreateNewTexturesTheMaterialsStayBlank) {
  quads("Q", {{0, 0, 0}});
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->setChecked(1005, false));
  ASSERT_TRUE(w->click(1004));
  host::Material* m = material("Q_UDIM_1001");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(host_.paint().materialTexture(m, doc_), nullptr);
}

TEST_F(UdimTest, IslandsLeftOfTheFirstTileGetTheirNumberAndLoadTexturesPassesThemBy) {
  // An island centred at u = -0.5: tile 1001 + floor(-0.5) = 1000.
  host::PolygonObject* obj = quads("Neg", {{-1, 0, 0}, {0, 0, 0}});
  image("neg_1000_color.png");
  const std::string file = image("neg_1001_color.png");
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->click(1004));
  EXPECT_EQ(selectionNames(obj), (std::vector<std::string>{"UDIM_1000", "UDIM_1001"}));
  ASSERT_NE(material("Neg_UDIM_1000"), nullptr);
  ASSERT_TRUE(w->setFilename(1001, file));
  ASSERT_TRUE(w->click(1003));
  EXPECT_EQ(linkedFile(material("Neg_UDIM_1001"), 0), "neg_1001_color.png");
  EXPECT_EQ(linkedFile(material("Neg_UDIM_1000"), 0), "Neg_UDIM_1000_color.tif")
      << "a tile of 1000 or below is not loaded";
}

TEST_F(UdimTest, LoadTexturesWithoutAFileOrFolderDoesNothing) {
  host::PolygonObject* obj = quads("Q", {{0, 0, 0}});
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->click(1004));
  const std::string before = sceneText(doc_);
  ASSERT_TRUE(w->click(1003));
  EXPECT_EQ(sceneText(doc_), before);
  ASSERT_TRUE(w->setFilename(1001, (folder_ / "missing" / "x_1001_color.png").string()));
  ASSERT_TRUE(w->click(1003));
  EXPECT_EQ(sceneText(doc_), before);
  (void)obj;
}

TEST_F(UdimTest, SetupSelectedUndoesToTheSceneBefore) {
  quads("Q", {{0, 0, 0}, {1, 1, 0}});
  image("q_1012_color.png");
  const std::string before = sceneText(doc_);
  hostapp::Window* w = openLoader();
  ASSERT_TRUE(w->setFilename(1001, (folder_ / "q_1012_color.png").string()));
  ASSERT_TRUE(w->click(1004));
  EXPECT_EQ(linkedFile(material("Q_UDIM_1012"), 0), "q_1012_color.png");
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(sceneText(doc_), before);
}

TEST_F(UdimTest, ObjectsThatAreNotPolygonObjectsAreSkipped) {
  host::Object* cam = host_.scene().createObject(host::kTypeCamera);
  doc_->insertObject(cam, nullptr, nullptr);
  doc_->setActiveObject(cam);
  doc_->startUndo();
  pigmora::setupUdimTiles(nullptr, doc_, cam, "");
  pigmora::loadUdimTextures(doc_, cam, image("c_1001_color.png"));
  doc_->endUndo();
  EXPECT_EQ(materialCount(), 0);
}

TEST_F(UdimTest, AFileThatDoesNotLoadIsLinkedButOpensNoTexture) {
  std::ofstream(folder_ / "wall_1001_color.png") << "not an image";
  host::PolygonObject* obj = quads("Wall", {{0, 0, 0}});
  doc_->startUndo();
  pigmora::setupUdimTiles(nullptr, doc_, obj, (folder_ / "wall_1001_color.png").string());
  doc_->endUndo();
  host::Material* m = material("Wall_UDIM_1001");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(linkedFile(m, 0), "wall_1001_color.png");
  EXPECT_EQ(host_.paint().textureOf(m, 0, doc_), nullptr);
}

}  // namespace
