// The content browser and the Megascans view, driven through the embedded host as a user drives
// them: folders chosen in the preferences, the window opened, cells clicked, right-clicked,
// double-clicked and dragged onto the material view.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/binding.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/ui/ui_host.h"
#include "lib/gui/contentdialog.h"
#include "plugin/bpviewdialog.h"
#include "plugin/brushes/paintbrushbase.h"
#include "plugin/paintmaterials.h"
#include "plugin/preferences.h"
#include "support/cli_run.h"
#include "support/plugin_host.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;
using hostapp::Window;
using pigmora::ContentDialog;

constexpr int32_t kLibrariesArea[] = {1022, 1023, 1024, 1025, 1026, 1027};  // Body Paint ..
constexpr int32_t kPrimeArea = 1024;
constexpr int32_t kSculptingArea = 1025;
constexpr int32_t kStampOn = 10601, kStampFile = 10603, kStencilOn = 10401, kStencilFile = 10402;

class ContentTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    root_ = freshTestFolder("content_test");
    host_.events().setProgress(
        [this](const std::string& text, double percent) { progress_.emplace_back(text, percent); });
  }
  void TearDown() override {
    host_.events().setProgress(nullptr);
    view_.reset();
    content_.reset();
    PluginHostTest::TearDown();
    fs::remove_all(root_);
  }
  hostapp::UiHost& ui() { return host_.uiHost(); }

  host::Settings& prefs() { return *pigmora::preferencesContainer(); }
  void setFolder(int32_t key, const fs::path& folder) { prefs().setFilename(key, folder.string()); }
  void setLibraries(const fs::path& folder) {
    host_.settings().world()->setFilename(hostapp::kWorldContentLibraries, folder.string());
  }

  // A copy of a folder of the shipped data below the test's own folder.
  fs::path copyData(const std::string& name) {
    const fs::path to = root_ / name;
    fs::copy(fs::path(PIGMORA_DATA_DIR) / name, to, fs::copy_options::recursive);
    return to;
  }
  void writeText(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  // A one-colour PNG written by the host's own bitmap.
  void writeImage(const fs::path& p, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
    fs::create_directories(p.parent_path());
    hostapp::PlainBitmap bmp(host_.memory());
    ASSERT_TRUE(bmp.init(w, h, 24));
    bmp.clear(r, g, b);
    std::string error;
    ASSERT_TRUE(hostapp::savePlainBitmap(bmp, p.string(), error)) << error;
  }

  Window* open() {
    content_ = std::make_unique<ContentDialog>();
    EXPECT_TRUE(content_->open(host::kDialogAsync, pigmora::kContentViewId, -1, -1, 600, 600));
    ui().settle();
    return ui().window(pigmora::kContentViewId);
  }
  std::vector<std::string> labels(Window& w, int32_t areaId) {
    std::vector<std::string> out;
    for (const host::UiItem& it : w.items(areaId)) out.push_back(it.label);
    return out;
  }
  host::UiRect cellRect(Window& w, int32_t areaId, size_t index) {
    return w.items(areaId).at(index).rect;
  }
  // Clicks the middle of a cell.
  bool clickCell(Window& w, int32_t areaId, size_t index, int32_t button = host::kMouseLeft,
                 int32_t qualifiers = 0) {
    const host::UiRect r = cellRect(w, areaId, index);
    return w.mouseClick(areaId, (r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2, button, qualifiers);
  }
  host::Settings* paintTool() {
    host_.sculptImpl().activateTool(doc_, pigmora::kPaintBrushId);
    return host_.sculpt().toolSettings(doc_, pigmora::kPaintBrushId);
  }
  // The progress shown under one status text, in order, each value once in a row.
  std::vector<double> progressOf(const std::string& text) const {
    std::vector<double> out;
    for (const auto& [t, p] : progress_)
      if (t == text && p >= 0 && (out.empty() || out.back() != p)) out.push_back(p);
    return out;
  }
  size_t materialCount() const {
    size_t n = 0;
    for (host::Material* m = doc_->firstMaterial(); m; m = m->next()) ++n;
    return n;
  }

  fs::path root_;
  std::unique_ptr<ContentDialog> content_;
  std::unique_ptr<pigmora::BPViewDialog> view_;
  std::vector<std::pair<std::string, double>> progress_;
};

// --- The window -----------------------------------------------------------------------------

TEST_F(ContentTest, TheCommandOpensTheBrowserWithItsTabsAndRestoresIt) {
  ASSERT_TRUE(host_.registration().callCommand(pigmora::kContentViewId, 0));
  ui().settle();
  Window* w = ui().window(pigmora::kContentViewId);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->title(), "Pigmora Content View");
  EXPECT_EQ(w->find(pigmora::kViewMenuArea), nullptr) << "no menu panel";
  for (const char* tab : {"Content Browser", "Body Paint", "Broadcast", "Prime", "Sculpting",
                          "Studio", "Visualize", "Stamps", "Stencils", "Megascans"})
    EXPECT_NE(w->findByText(tab), nullptr) << tab;
  // The gadgets of every tab: group, scroll group, user area.
  for (int32_t id :
       {1006, 1008, 1009, 1010, 1011, 1012, 1017, 1020, 1021, 1022, 1027, 1029, 1030, 1031, 1036})
    EXPECT_NE(w->find(id), nullptr) << id;
  const hostapp::Widget* zoom = w->find(pigmora::kViewZoomSlider);
  ASSERT_NE(zoom, nullptr);
  EXPECT_DOUBLE_EQ(zoom->value.toReal(), 0.2);
  ASSERT_TRUE(w->closeByUser());
  ASSERT_TRUE(host_.registration().callCommand(pigmora::kContentViewId, 0));
  ui().settle();
  w = ui().window(pigmora::kContentViewId);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isOpen()) << "the command opens it again";
}

// --- Stamps and stencils ----------------------------------------------------------------------

TEST_F(ContentTest, AStampFolderWithASubfolderShowsEveryImageOnceAndNothingElse) {
  const fs::path stamps = copyData("stamps");
  writeText(stamps / "notes.txt", "not an image");
  writeText(stamps / "broken.png", "no picture inside");
  writeText(stamps / "shapes" / "deeper" / "empty.jpg", "");
  setFolder(pigmora::kPrefStampFolder, stamps);
  Window* w = open();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->selectTab("Stamps"));
  ui().settle();
  // Listing order is byte order, with the subfolder walked where it stands.
  EXPECT_EQ(labels(*w, pigmora::kContentStampsArea),
            (std::vector<std::string>{"leaf.png", "ring.png", "soft_dot.png", "splatter.png"}));
  // Ids run over the whole walk, files that are no images included.
  const pigmora::FileMap& map = content_->stamps().stampMap();
  ASSERT_EQ(map.size(), 7u);
  EXPECT_EQ(content_->stamps().cell(0)->id(), 3)
      << "broken.png, notes.txt and shapes/deeper/empty.jpg took ids 0 to 2";
  EXPECT_EQ(content_->stamps().cell(0)->file(), (stamps / "shapes" / "leaf.png").string());
  // Previews are 128 x 128 whatever the image size; files on disk carry their decoration.
  const pigmora::TextureElement* cell = content_->stamps().cell(0);
  ASSERT_NE(cell->preview(), nullptr);
  EXPECT_EQ(cell->preview()->width(), 128);
  EXPECT_EQ(cell->preview()->height(), 128);
  EXPECT_EQ(cell->preview()->bits(), 24);
  ASSERT_EQ(cell->decorationCount(), 1u);
  EXPECT_EQ(const_cast<pigmora::TextureElement*>(cell)->decoration(0)->kind(),
            pigmora::kDecorationFileOnDisk);
  // Cells are int(0.2 x 512) = 102 pixels (the frame adds one).
  EXPECT_EQ(cellRect(*w, pigmora::kContentStampsArea, 0).width(), 103);
}

TEST_F(ContentTest, StencilProgressReachesOneHundredWhateverTheStampCount) {
  const fs::path stamps = copyData("stamps");
  for (int i = 0; i < 3; ++i)
    writeImage(stamps / ("extra" + std::to_string(i) + ".png"), 8, 8, 9, 9, 9);
  setFolder(pigmora::kPrefStampFolder, stamps);
  setFolder(pigmora::kPrefStencilFolder, copyData("stencils"));
  open();
  // 7 stamps: after each file int(k / 7 x 100); 2 stencils: 50, then 100.
  EXPECT_EQ(progressOf("Loading Stamps"), (std::vector<double>{0, 14, 28, 42, 57, 71, 85, 100}));
  EXPECT_EQ(progressOf("Loading Stencils"), (std::vector<double>{0, 50, 100}));
  EXPECT_EQ(host_.events().statusText(), "") << "the status is cleared after loading";
  EXPECT_EQ(content_->stencils().stencilMap().size(), 2u);
  EXPECT_TRUE(content_->stencils().stampMap().empty());
}

TEST_F(ContentTest, ClicksSetTheStampOrWithControlTheStencil) {
  const fs::path stamps = copyData("stamps");
  setFolder(pigmora::kPrefStampFolder, stamps);
  host::Settings* tool = paintTool();
  ASSERT_NE(tool, nullptr);
  Window* w = open();
  ASSERT_TRUE(w->selectTab("Stamps"));
  ui().settle();
  const int32_t area = pigmora::kContentStampsArea;

  ASSERT_TRUE(clickCell(*w, area, 2));
  EXPECT_TRUE(tool->getBool(kStampOn));
  EXPECT_EQ(tool->getFilename(kStampFile), (stamps / "soft_dot.png").string());
  ASSERT_NE(ui().pendingDrag(), nullptr) << "the click starts a drag of the file";
  EXPECT_EQ(ui().pendingDrag()->type, host::kDragFilename);
  EXPECT_EQ(ui().pendingDrag()->data, (stamps / "soft_dot.png").string());
  EXPECT_TRUE(content_->stamps().cell(2)->selected());

  const size_t specials = host_.events().specials().size();
  ASSERT_TRUE(clickCell(*w, area, 0, host::kMouseLeft, host::kQualCtrl));
  EXPECT_TRUE(tool->getBool(kStencilOn));
  EXPECT_EQ(tool->getFilename(kStencilFile), (stamps / "shapes" / "leaf.png").string());
  EXPECT_EQ(tool->getFilename(kStampFile), (stamps / "soft_dot.png").string())
      << "the stamp is not replaced";
  EXPECT_FALSE(tool->getBool(kStampOn)) << "a stencil chosen alone switches the stamp off";
  ASSERT_GT(host_.events().specials().size(), specials);
  EXPECT_EQ(host_.events().specials().back().id, -826267);

  // A double click shows the file.
  const size_t shown = ui().shownFiles().size();
  const host::UiRect r = cellRect(*w, area, 3);
  ASSERT_TRUE(w->mouseDoubleClick(area, r.x1 + 5, r.y1 + 5));
  ASSERT_GT(ui().shownFiles().size(), shown);
  EXPECT_EQ(ui().shownFiles().back(), (stamps / "splatter.png").string());
}

TEST_F(ContentTest, TheContextMenuOffersBothUsesOnCellsAndNothingBesideThem) {
  const fs::path stamps = copyData("stamps");
  setFolder(pigmora::kPrefStampFolder, stamps);
  host::Settings* tool = paintTool();
  Window* w = open();
  ASSERT_TRUE(w->selectTab("Stamps"));
  ui().settle();
  const int32_t area = pigmora::kContentStampsArea;
  // Four cells in one row of a 600-pixel window: far below them lies no cell.
  ASSERT_TRUE(w->mouseClick(area, 20, w->area(area)->height() - 3, host::kMouseRight));
  EXPECT_TRUE(ui().menus().empty()) << "a right click outside any cell shows no menu";

  ui().queueMenuPick("Use As Stencil");
  ASSERT_TRUE(clickCell(*w, area, 1, host::kMouseRight));
  ASSERT_EQ(ui().menus().size(), 1u);
  const auto& shown = ui().menus().back();
  EXPECT_EQ(shown.flags, host::kPopupContext);
  ASSERT_EQ(shown.menu.entries().size(), 2u);
  EXPECT_EQ(shown.menu.entries()[0].id, 1001);
  EXPECT_EQ(shown.menu.entries()[0].text, "Use As Stamp");
  EXPECT_EQ(shown.menu.entries()[1].id, 1002);
  EXPECT_EQ(shown.menu.entries()[1].text, "Use As Stencil");
  EXPECT_EQ(tool->getFilename(kStencilFile), (stamps / "shapes" / "ring.png").string());
  EXPECT_TRUE(tool->getBool(kStencilOn));

  ui().queueMenuPick("Use As Stamp");
  ASSERT_TRUE(clickCell(*w, area, 3, host::kMouseRight));
  EXPECT_EQ(tool->getFilename(kStampFile), (stamps / "splatter.png").string());
  EXPECT_FALSE(tool->getBool(kStencilOn));
}

TEST_F(ContentTest, GridsFillOnceAndMissingFoldersLeaveThemEmpty) {
  // No folders at all: every area is empty and nothing crashes.
  Window* w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->items(pigmora::kContentStampsArea).empty());
  EXPECT_TRUE(w->items(pigmora::kContentStencilsArea).empty());
  for (int32_t id : kLibrariesArea) EXPECT_TRUE(w->items(id).empty()) << id;
  EXPECT_TRUE(w->items(pigmora::kContentMegascansArea).empty());
  ASSERT_TRUE(w->closeByUser());

  // The window opened again keeps the grids it filled, even when the folder changed.
  const fs::path stamps = copyData("stamps");
  setFolder(pigmora::kPrefStampFolder, stamps);
  ASSERT_TRUE(content_->open(host::kDialogAsync, pigmora::kContentViewId, -1, -1, 600, 600));
  ui().settle();
  EXPECT_TRUE(ui().window(pigmora::kContentViewId)->items(pigmora::kContentStampsArea).empty());

  // A stamp folder that is a file, or does not exist, gives no cell.
  setFolder(pigmora::kPrefStampFolder, stamps / "soft_dot.png");
  content_ = std::make_unique<ContentDialog>();
  ASSERT_TRUE(content_->open(host::kDialogAsync, pigmora::kContentViewId, -1, -1, 600, 600));
  ui().settle();
  EXPECT_EQ(content_->stamps().layout()->count(), 0);
}

// --- Content libraries ------------------------------------------------------------------------

TEST_F(ContentTest, LibrariesShowTheirImagesRecursivelyWithPreviewsBesideThem) {
  const fs::path libs = root_ / "libs";
  const fs::path prime = libs / "Prime.lib4d";
  writeImage(prime / "blue.png", 32, 32, 0, 0, 255);
  writeImage(prime / "Sub" / "green.png", 32, 32, 0, 255, 0);
  // A red preview beside the green image stands for it; it is no entry of its own.
  writeImage(prime / "Sub" / "green.png.preview.png", 16, 16, 255, 0, 0);
  writeText(prime / "Sub" / "scene.c4d", "not an image");
  writeText(prime / "Sub" / "broken.exr", "not an image either");
  setLibraries(libs);
  Window* w = open();
  ASSERT_TRUE(w->selectTab("Content Browser"));
  ASSERT_TRUE(w->selectTab("Prime"));
  ui().settle();
  EXPECT_EQ(labels(*w, kPrimeArea), (std::vector<std::string>{"green.png", "blue.png"}))
      << "\"Sub\" sorts before \"blue.png\" in byte order";
  pigmora::TexturesViewArea* area = content_->libraryArea("Prime.lib4d");
  ASSERT_NE(area, nullptr);
  // Both images and the EXR are image entries; the EXR has no picture and gets no cell.
  EXPECT_EQ(area->libraryEntries().size(), 3u);
  uint8_t r = 0, g = 0, b = 0;
  area->cell(0)->preview()->getPixel(64, 64, r, g, b);
  EXPECT_EQ(r, 255) << "the preview beside the file is shown";
  EXPECT_EQ(g, 0);
  area->cell(1)->preview()->getPixel(64, 64, r, g, b);
  EXPECT_EQ(b, 255) << "without a preview the file itself";
  EXPECT_EQ(progressOf("Loading Images: Prime.lib4d"), (std::vector<double>{0, 33, 66, 100}));
  // A library that is not installed: an empty area.
  EXPECT_TRUE(w->items(kSculptingArea).empty());
}

TEST_F(ContentTest, ACellDroppedOnAMaterialCellReplacesItsLayerAsOneUndoStep) {
  // A grid object with one material whose colour texture is 64 x 64 grey.
  auto b = builder();
  host::PolygonObject* obj = b.addMesh("Plane", hostapp::gridMesh(1, 1, 2.0));
  host::Material* mat = b.addMaterial("Paint");
  const host::Vector grey(128, 128, 128);
  host::PaintTexture* tex = b.addTexture(mat, 0, 64, 64, 5, &grey);
  b.addTextureTag(obj, mat, "");
  doc_->setActiveObject(obj);
  const fs::path stamps = root_ / "stamps";
  writeImage(stamps / "red.png", 8, 8, 255, 0, 0);
  setFolder(pigmora::kPrefStampFolder, stamps);

  view_ = std::make_unique<pigmora::BPViewDialog>();
  ASSERT_TRUE(view_->open(host::kDialogAsync, pigmora::kPaintViewId, -1, -1, 600, 600));
  Window* w = open();
  ASSERT_TRUE(w->selectTab("Stamps"));
  ui().settle();
  Window* materials = ui().window(pigmora::kPaintViewId);
  ASSERT_NE(materials, nullptr);
  const host::UiRect target = materials->items(pigmora::kPaintViewArea).at(0).rect;

  const size_t before = doc_->undoList().undoCount();
  ASSERT_TRUE(clickCell(*w, pigmora::kContentStampsArea, 0));
  ASSERT_NE(ui().pendingDrag(), nullptr);
  EXPECT_EQ(ui().dropPending(*materials, pigmora::kPaintViewArea, target.x1 + 5, target.y1 + 5),
            host::kCursorDropCopy);
  uint8_t px[4] = {};
  tex->activeLayer()->getPixelRow(30, 30, 1, px, host::kModeARGB8);
  EXPECT_EQ(px[1], 255);
  EXPECT_EQ(px[2], 0);
  EXPECT_EQ(doc_->undoList().undoCount(), before + 1);
  ASSERT_TRUE(doc_->undo());
  tex->activeLayer()->getPixelRow(30, 30, 1, px, host::kModeARGB8);
  EXPECT_EQ(px[1], 128);
}

// --- Megascans --------------------------------------------------------------------------------

TEST_F(ContentTest, MegascansShowOneCellPerAlbedoFileAndEachMakesTheSameMaterial) {
  const fs::path library = copyData("megascans");
  writeText(library / "stray.json", "{\"id\": \"x\", \"name\": \"Stray\"}");
  writeImage(library / "stray.png", 8, 8, 1, 2, 3);
  fs::create_directories(library / "empty_folder");
  // A folder whose description is broken is no asset.
  writeText(library / "broken_pm03" / "broken.json", "{\"id\": ");
  writeImage(library / "broken_pm03" / "a.png", 8, 8, 1, 2, 3);
  setFolder(pigmora::kPrefMegascansFolder, library);
  Window* w = open();
  ASSERT_TRUE(w->selectTab("Megascans"));
  ui().settle();
  pigmora::MegaScanViewArea& area = content_->megascans();
  ASSERT_EQ(area.assets().size(), 2u) << "files in the library folder are ignored";
  // Mossy rock lists its albedo at 64, 128 and 256; rusty metal at 128.
  const std::string rock = (library / "mossy_rock_pm01" / "mossy_rock_pm01_").string();
  EXPECT_EQ(labels(*w, pigmora::kContentMegascansArea),
            (std::vector<std::string>{
                "mossy_rock_pm01_64_Albedo.jpg", "mossy_rock_pm01_128_Albedo.jpg",
                "mossy_rock_pm01_256_Albedo.jpg", "rusty_metal_pm02_128_Albedo.jpg"}));
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(area.cell(i)->id(), i < 3 ? 0 : 1);
    EXPECT_EQ(area.cell(i)->preview()->width(), 256);
  }
  for (size_t i = 0; i < 3; ++i) {
    ui().queueMenuPick("Create Material");
    const size_t posted = host_.events().posted().size();
    ASSERT_TRUE(clickCell(*w, pigmora::kContentMegascansArea, i, host::kMouseRight));
    EXPECT_GT(host_.events().posted().size(), posted);
  }
  ASSERT_EQ(materialCount(), 3u);
  for (host::Material* m = doc_->firstMaterial(); m; m = m->next()) {
    EXPECT_EQ(m->name(), "Mossy Rock");
    ASSERT_NE(m->channel(0), nullptr);
    EXPECT_EQ(m->channel(0)->data().getString(host::kChannelFile), rock + "256_Albedo.jpg");
  }
  // "Use As Stamp" makes the cell's albedo the stamp.
  host::Settings* tool = paintTool();
  ui().queueMenuPick("Use As Stamp");
  ASSERT_TRUE(clickCell(*w, pigmora::kContentMegascansArea, 3, host::kMouseRight));
  EXPECT_EQ(tool->getFilename(kStampFile),
            (library / "rusty_metal_pm02" / "rusty_metal_pm02_128_Albedo.jpg").string());
  // A right click beside the cells shows no menu, yet asks for a redraw.
  const size_t menus = ui().menus().size(), posted = host_.events().posted().size();
  ASSERT_TRUE(w->mouseClick(pigmora::kContentMegascansArea, 5,
                            w->area(pigmora::kContentMegascansArea)->height() - 2,
                            host::kMouseRight));
  EXPECT_EQ(ui().menus().size(), menus);
  ASSERT_GT(host_.events().posted().size(), posted);
  EXPECT_EQ(host_.events().posted().back(), host::kEventForceRedraw);
}

TEST_F(ContentTest, AlbedoFilesThatCannotBeShownGiveNoCell) {
  const fs::path library = root_ / "megascans";
  // The albedo is listed four times: missing, a folder, not an image, and a real image.
  writeText(library / "odd" / "odd.json", R"({"id": "o", "name": "Odd", "components": [
    {"type": "albedo", "name": "A", "colorSpace": "sRGB", "averageColor": "#000000",
     "uris": [{"physicalSize": "1", "resolutions": [{"resolution": "r", "formats": [
       {"mimeType": "image/png", "uri": "missing.png"},
       {"mimeType": "image/png", "uri": "folder.png"},
       {"mimeType": "image/png", "uri": "text.png"},
       {"mimeType": "image/png", "uri": "../outside.png"},
       {"mimeType": "image/png", "uri": "real.png"}]}]}]}]})");
  fs::create_directories(library / "odd" / "folder.png");
  writeText(library / "odd" / "text.png", "no picture");
  writeImage(library / "outside.png", 4, 4, 9, 9, 9);
  writeImage(library / "odd" / "real.png", 4, 4, 9, 9, 9);
  setFolder(pigmora::kPrefMegascansFolder, library);
  Window* w = open();
  ASSERT_TRUE(w->selectTab("Megascans"));
  ui().settle();
  EXPECT_EQ(labels(*w, pigmora::kContentMegascansArea), (std::vector<std::string>{"real.png"}));
  // The material links the real file only: the folder is no map.
  ui().queueMenuPick("Create Material");
  ASSERT_TRUE(clickCell(*w, pigmora::kContentMegascansArea, 0, host::kMouseRight));
  ASSERT_EQ(materialCount(), 1u);
  EXPECT_EQ(doc_->firstMaterial()->channel(0)->data().getString(host::kChannelFile),
            (library / "odd" / "real.png").string());
}

// --- The command line ------------------------------------------------------------------------

TEST_F(ContentTest, TheExampleJobImportsPaintsWithABrowserStampAndRenders) {
  const fs::path out = root_ / "out";
  const CommandRun r = runPigmora("run " + std::string(PIGMORA_DATA_DIR) +
                                  "/jobs/content_browser.json --out " + out.string());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "\"Loading Stamps\"")) << r.out;
  EXPECT_TRUE(contains(r.out, "1 material (was 0)")) << r.out;
  EXPECT_TRUE(contains(r.out, "stamp \"leaf.png\" (was none)")) << r.out;
  for (const char* file : {"content_browser_stamps.png", "content_browser_megascans.png",
                           "mossy_rock_painted.png", "boulder.png"})
    EXPECT_TRUE(fs::is_regular_file(out / file)) << file;
}

TEST_F(ContentTest, TheCommandLineNamesWhatIsWrongWithAStep) {
  const fs::path job = root_ / "job.json";
  auto run = [&](const std::string& steps) {
    std::ofstream(job) << "{\"steps\": [" << steps << "]}";
    return runPigmora("run " + job.string() + " --out " + (root_ / "out").string());
  };
  CommandRun r = run(R"({"step": "content_folders", "stamps": "no_such_folder"})");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(
      r.out + r.err, "the stamp folder " + (root_ / "no_such_folder").string() + " does not exist"))
      << r.out << r.err;
  writeText(root_ / "plain.txt", "x");
  r = run(R"({"step": "content_folders", "megascans": "plain.txt"})");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.out + r.err, "plain.txt is not a folder")) << r.out << r.err;
  r = run(R"({"step": "ui_open", "name": "QOR Pigmora Content View", "tab": "Fonts"})");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.out + r.err, "has no tab \"Fonts\"")) << r.out << r.err;
  // A double click prints the file the host would show.
  writeImage(root_ / "stamps" / "dot.png", 8, 8, 1, 1, 1);
  r = run(R"({"step": "content_folders", "stamps": "stamps"},
             {"step": "ui_open", "name": "QOR Pigmora Content View", "tab": "Stamps"},
             {"step": "ui_click", "tab": "Stamps", "cell": "dot.png", "double": true},
             {"step": "ui_drag_cell", "tab": "Stamps", "cell": 0, "to_cell": 0})");
  EXPECT_EQ(r.status, 1) << "the material view is not open";
  EXPECT_TRUE(contains(r.out, "shows the file " + (root_ / "stamps" / "dot.png").string()))
      << r.out;
  EXPECT_TRUE(contains(r.out + r.err, "the material view is not open")) << r.out << r.err;
}

}  // namespace
