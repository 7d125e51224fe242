// The command set, run as the host runs it: by id, with the state asked first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostapp/scene/primitives.h"
#include "hostapp/ui/ui_host.h"
#include "plugin/commands/creation_commands.h"
#include "plugin/commands/dialog_commands.h"
#include "plugin/commands/flood_commands.h"
#include "plugin/commands/tag_commands.h"
#include "plugin/commands/uv_commands.h"
#include "support/plugin_host.h"
#include "support/scene_snapshot.h"

namespace {

constexpr int32_t kEnabled = 0x40000000;

struct Row {
  int32_t id;
  const char* name;
  int32_t info;
};
// The command table as the host must see it, in registration order.
const std::vector<Row> kTable = {
    {1035527, "QOR Pigmora Material View", 0},
    {1037991, "QOR Pigmora Content View", 0},
    {1036499, "QOR Delete Texture Tags", 0x10000000},
    {1037970, "QOR Setup UDIMs", 0x10000000},
    {1035526, "QOR Create Poly Materials", 0x10000000},
    {1037913, "QOR Create UDIM Poly Materials", 0x10000000},
    {1035670, "QOR Create Single Material", 0x10000000},
    {1037964, "QOR Create Single UDIM", 0x10000000},
    {1036152, "QOR Create Material Per UV Island", 0x10000000},
    {1037940, "QOR Create UDIM Per UV Island", 0x10000000},
    {1036169, "QOR Select Edges", 0x10000000},
    {1037976, "QOR Apply Bleed", 0x10000000},
    {1037977, "QOR Fill Current Layer", 0x10000000},
    {1038000, "QOR Fill Current Layer UVs", 0x10000000},
    {1037978, "QOR Fill UV Islands", 0x10000000},
    {1038005, "QOR Flip UVs Vertical", 0x10000000},
    {1037939, "QOR Toggle Tiling", 0x30000000},
};

class CommandsTest : public PluginHostTest {
 protected:
  host::CommandData* command(int32_t id) {
    const hostapp::RegisteredPlugin* p = host_.registration().find(id);
    return p ? p->command : nullptr;
  }
  int32_t state(int32_t id) { return command(id)->getState(doc_); }
  // As the host runs a command: nothing happens unless it is enabled.
  bool run(int32_t id) { return host_.registration().callCommand(id, 0); }
  host::PolygonObject* plane(const std::string& name, int32_t nx = 2, int32_t ny = 1) {
    return builder().addMesh(name, hostapp::gridMesh(nx, ny, 2.0));
  }
};

TEST_F(CommandsTest, SeventeenCommandsComeFirstInTableOrderBeforeTheLibrary) {
  const auto& plugins = host_.registration().plugins();
  ASSERT_GT(plugins.size(), kTable.size());
  for (size_t i = 0; i < kTable.size(); ++i) {
    SCOPED_TRACE(kTable[i].name);
    EXPECT_EQ(plugins[i].kind, hostapp::PluginKind::kCommand);
    EXPECT_EQ(plugins[i].id, kTable[i].id);
    EXPECT_EQ(plugins[i].name, kTable[i].name);
    EXPECT_EQ(plugins[i].info, kTable[i].info);
    EXPECT_EQ(plugins[i].icon, "");
    EXPECT_EQ(plugins[i].help, "");
  }
  EXPECT_EQ(plugins[kTable.size()].id, 1036240);
  EXPECT_EQ(plugins[kTable.size()].kind, hostapp::PluginKind::kLibrary);
}

TEST_F(CommandsTest, EachCommandIsOfItsClassWithItsFields) {
  using namespace pigmora;
  EXPECT_NE(dynamic_cast<MaterialViewDialogCmd*>(command(1035527)), nullptr);
  EXPECT_NE(dynamic_cast<ContentDialogCmd*>(command(1037991)), nullptr);
  EXPECT_NE(dynamic_cast<DeleteAllTextureTags*>(command(1036499)), nullptr);
  EXPECT_NE(dynamic_cast<SetupUdimFromUVs*>(command(1037970)), nullptr);
  EXPECT_NE(dynamic_cast<ToggleTilingCmd*>(command(1037939)), nullptr);
  EXPECT_NE(dynamic_cast<SelectIslandsEdgeCmd*>(command(1036169)), nullptr);
  // Only these seven work on a polygon object through the shared base.
  for (int32_t id : {1037970, 1035526, 1035670, 1036152, 1036169, 1037976, 1037939})
    EXPECT_NE(dynamic_cast<PolygonObjectCommands*>(command(id)), nullptr) << id;
  for (int32_t id : {1035527, 1037991, 1036499, 1038005})
    EXPECT_EQ(dynamic_cast<PolygonObjectCommands*>(command(id)), nullptr) << id;

  struct Udim {
    int32_t id, udim;
  };
  for (Udim u : {Udim{1035526, 0}, Udim{1037913, 1}})
    EXPECT_EQ(dynamic_cast<CreateMaterialPerPolyCmd*>(command(u.id))->udim(), u.udim);
  for (Udim u : {Udim{1035670, 0}, Udim{1037964, 1}})
    EXPECT_EQ(dynamic_cast<CreateSingleMaterialCmd*>(command(u.id))->udim(), u.udim);
  for (Udim u : {Udim{1036152, 0}, Udim{1037940, 1}})
    EXPECT_EQ(dynamic_cast<CreateMaterialIslandsCmd*>(command(u.id))->udim(), u.udim);
  struct Flood {
    int32_t id, mode, fill;
  };
  for (Flood f : {Flood{1037976, 20001, 0}, Flood{1037977, 20003, 1}, Flood{1038000, 20003, 0},
                  Flood{1037978, 20004, 0}}) {
    auto* cmd = dynamic_cast<ApplyFloodCmd*>(command(f.id));
    ASSERT_NE(cmd, nullptr) << f.id;
    EXPECT_EQ(cmd->mode(), f.mode);
    EXPECT_EQ(cmd->fillColor(), f.fill);
  }
  EXPECT_EQ(dynamic_cast<FlipUVsCmd*>(command(1038005))->flags(), 4);
}

TEST_F(CommandsTest, StateRulesFollowTheActiveObjectAndTheMode) {
  const std::vector<int32_t> always = {1035527, 1037991, 1036499, 1038005};
  std::vector<int32_t> polygonObject;
  for (const Row& r : kTable)
    if (std::find(always.begin(), always.end(), r.id) == always.end())
      polygonObject.push_back(r.id);

  for (int32_t id : always) EXPECT_EQ(state(id), kEnabled) << id;
  for (int32_t id : polygonObject) EXPECT_EQ(state(id), 0) << "no active object: " << id;

  auto* cam = host_.scene().createObject(host::kTypeCamera);
  doc_->insertObject(cam, nullptr, nullptr);
  doc_->setActiveObject(cam);
  for (int32_t id : polygonObject) EXPECT_EQ(state(id), 0) << "a camera: " << id;

  doc_->setActiveObject(plane("P"));
  for (int32_t id : polygonObject) EXPECT_EQ(state(id), kEnabled) << id;

  doc_->data().setInt32(host::kDocMode, 11);
  EXPECT_EQ(state(1036169), 0) << "Select Edges in mode 11";
  for (int32_t id : polygonObject) {
    if (id != 1036169) {
      EXPECT_EQ(state(id), kEnabled) << id;
    }
  }
}

TEST_F(CommandsTest, DeleteTextureTagsAtEveryDepthAndOneUndoPutsThemBack) {
  auto b = builder();
  host::Material* mat = b.addMaterial("M");
  host::PolygonObject* top = plane("Top");
  host::PolygonObject* child = builder().addMesh("Child", hostapp::gridMesh(1, 1, 1.0), top);
  host::PolygonObject* grandchild =
      builder().addMesh("Grandchild", hostapp::gridMesh(1, 1, 1.0), child);
  host::PolygonObject* sibling = plane("Sibling");
  b.addSelectionTag(top, "S", {1});
  for (host::PolygonObject* o : {top, child, grandchild, sibling}) b.addTextureTag(o, mat);
  b.addTextureTag(top, mat, "S");
  b.addTextureTag(grandchild, mat, "Extra");
  const std::string before = sceneText(doc_);

  EXPECT_TRUE(run(1036499));
  for (host::Object* o : doc_->allObjects()) EXPECT_EQ(o->tag(host::kTypeTextureTag), nullptr);
  EXPECT_NE(top->tag(host::kTypePolygonSelectionTag), nullptr) << "other tags stay";
  EXPECT_NE(top->tag(host::kTypeUVWTag), nullptr);

  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(sceneText(doc_), before);
  ASSERT_TRUE(doc_->redo());
  for (host::Object* o : doc_->allObjects()) EXPECT_EQ(o->tag(host::kTypeTextureTag), nullptr);
}

TEST_F(CommandsTest, ToggleTilingEndsWithTilingOnAndTheTagsEvaluatedTwice) {
  host::PolygonObject* obj = plane("P");
  host::Material* mat = builder().addMaterial("M");
  host::TextureTag* on = builder().addTextureTag(obj, mat);
  host::TextureTag* off = builder().addTextureTag(obj, mat);
  off->data().setBool(host::kTexTiling, false);
  doc_->setActiveObject(obj);
  const int64_t updates = host_.events().updates();
  const uint32_t dirty = on->dirtyCount();
  EXPECT_TRUE(run(1037939));
  EXPECT_TRUE(on->data().getBool(host::kTexTiling));
  EXPECT_TRUE(off->data().getBool(host::kTexTiling));
  EXPECT_EQ(host_.events().updates() - updates, 2);
  EXPECT_EQ(on->dirtyCount() - dirty, 2u);
}

TEST_F(CommandsTest, FlipUVsWithNothingSelectedIsEnabledAndChangesNothing) {
  hostapp::MeshData mesh = hostapp::gridMesh(1, 1, 1.0);
  for (int k = 0; k < 4; ++k) mesh.uvs[0].corner(k).y += 1.25;  // outside the first row
  host::PolygonObject* obj = builder().addMesh("P", mesh);
  doc_->setActiveObject(nullptr);
  const std::string before = sceneText(doc_);
  EXPECT_EQ(state(1038005), kEnabled);
  run(1038005);
  EXPECT_EQ(sceneText(doc_), before);
  // With the object active its rows are mirrored: 1.25 + 0 = 1.25 becomes 1.75.
  doc_->setActiveObject(obj);
  EXPECT_TRUE(run(1038005));
  EXPECT_DOUBLE_EQ(static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag))->get(0).a.y, 1.75);
}

TEST_F(CommandsTest, SelectEdgesDoesNothingInModeElevenEvenWhenRunDirectly) {
  host::PolygonObject* obj = plane("P");
  doc_->setActiveObject(obj);
  doc_->data().setInt32(host::kDocMode, 11);
  EXPECT_FALSE(run(1036169)) << "the host does not run a disabled command";
  doc_->data().setInt32(host::kDocMode, 7);
  EXPECT_TRUE(run(1036169));
  // Every polygon of a plane of two lies on the border.
  EXPECT_EQ(obj->polygonSelection().count(), 2);
}

TEST_F(CommandsTest, DialogCommandsOpenTheirWindowsAndReopenThemUnderTheirIds) {
  struct Dialog {
    int32_t id;
    const char* title;
    int32_t width, height;
  };
  doc_->setActiveObject(plane("P"));
  for (Dialog d : {Dialog{1035527, "Pigmora Material View", 600, 600},
                   Dialog{1037991, "Pigmora Content View", 600, 600},
                   Dialog{1037970, "UDIM Loader", 400, 100}}) {
    SCOPED_TRACE(d.title);
    ASSERT_TRUE(run(d.id));
    hostapp::Window* w = host_.uiHost().window(d.id);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isOpen());
    EXPECT_EQ(w->type(), host::kDialogAsync);
    EXPECT_EQ(w->title(), d.title);
    EXPECT_GE(w->width(), d.width);
    EXPECT_GE(w->height(), d.height);
    host::GeDialog* dialog = w->dialog();
    ASSERT_TRUE(w->closeByUser());
    EXPECT_TRUE(command(d.id)->restoreLayout(nullptr));
    hostapp::Window* again = host_.uiHost().window(d.id);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->isOpen());
    EXPECT_EQ(again->dialog(), dialog) << "the command keeps one dialog";
  }
}

TEST_F(CommandsTest, FillCommandsRunTheFillsOfTheActiveObject) {
  auto b = builder();
  host::PolygonObject* obj = plane("P");
  host::Material* mat = b.addMaterial("M");
  const host::Vector white(255, 255, 255);
  host::PaintTexture* tex = b.addTexture(mat, 0, 8, 8, host::kModeARGB8, &white);
  b.addTextureTag(obj, mat);
  doc_->setActiveObject(obj);
  host_.paintImpl().painter().setColor(0, 0, {1.0, 0.5, 0.0}, 1.0);
  ASSERT_TRUE(run(1037977));
  // (1, 0.5, 0) in an 8-bit work bitmap: 255, 127 (0.5 * 255 truncated), 0.
  uint8_t px[4] = {};
  tex->activeLayer()->getPixelRow(3, 3, 1, px, host::kModeARGB8);
  EXPECT_EQ(px[1], 255);
  EXPECT_EQ(px[2], 127);
  EXPECT_EQ(px[3], 0);
  EXPECT_TRUE(doc_->undo());
  tex->activeLayer()->getPixelRow(3, 3, 1, px, host::kModeARGB8);
  EXPECT_EQ(px[2], 255) << "the fill is one undo step";
}

// A host that refuses one command's registration.
TEST(CommandRegistrationTest, ARefusedCommandStopsTheRestAndTheStart) {
  hostapp::EmbeddedHost host;
  host.registration().refuse(1036152);
  std::string error;
  EXPECT_FALSE(host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error));
  EXPECT_EQ(host.registration().find(1036152), nullptr);
}

TEST(CommandRegistrationTest, CommandsBeforeTheRefusedOneStayRegistered) {
  hostapp::EmbeddedHost host;
  host.registration().refuse(1036152);
  // Start by hand to look at the registry before the failed start is cleaned up.
  host.resources().setFolder(PIGMORA_RES_DIR);
  host::FunctionTable table{host::kApiVersion, 0, &host};
  int32_t data = 1;
  ASSERT_EQ(c4d_main(1, &table, nullptr, &data), 1);
  ASSERT_EQ(c4d_main(6, reinterpret_cast<void*>(1), nullptr, nullptr), 1);
  EXPECT_EQ(c4d_main(2, nullptr, nullptr, nullptr), 0);
  const auto& plugins = host.registration().plugins();
  ASSERT_EQ(plugins.size(), 8u) << "the eight rows before it";
  for (size_t i = 0; i < plugins.size(); ++i) EXPECT_EQ(plugins[i].id, kTable[i].id);
  EXPECT_EQ(host.registration().find(1036240), nullptr) << "the library comes after";
  host.registration().destroyAll(host.memory());
  c4d_main(3, nullptr, nullptr, nullptr);
}

}  // namespace
