// The paint view: the view and layout library (grid, menu panel, UV decoration), the material
// view area and the paint view dialog, driven through the embedded host with scripted mouse
// input as a user would drive them.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/binding.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/settings/prefs_window.h"
#include "hostapp/ui/ui_host.h"
#include "lib/gui/uvdecoration.h"
#include "plugin/bpviewdialog.h"
#include "plugin/preferences.h"
#include "plugin/uvwireframe.h"
#include "support/plugin_host.h"

namespace {

using hostapp::Window;
using pigmora::kPaintViewArea;

// A cell that counts how often it is drawn and records the clicks it gets.
class ProbeCell : public pigmora::LayoutElement {
 public:
  explicit ProbeCell(int* draws) : draws_(draws) {}
  void draw(pigmora::ViewAreaBase&, int32_t, int32_t, int32_t, int32_t, bool) override {
    ++*draws_;
  }
  bool click(pigmora::ViewAreaBase&, const host::InputEvent&, int32_t, int32_t localX,
             int32_t localY, int32_t, int32_t) override {
    clicks.emplace_back(localX, localY);
    return true;
  }
  std::vector<std::pair<int32_t, int32_t>> clicks;

 private:
  int* draws_;
};

// A view window without menu panel whose area shows probe cells.
class GridDialog : public pigmora::ViewDialogBase {
 public:
  GridDialog() : ViewDialogBase(false) {}
  pigmora::ViewAreaBase& area() { return defaultArea_; }
};

class PaintViewTest : public PluginHostTest {
 protected:
  void TearDown() override {
    view_.reset();
    PluginHostTest::TearDown();
  }
  hostapp::UiHost& ui() { return host_.uiHost(); }
  host::PainterState& painter() { return host_.paintImpl().painter(); }

  Window* open() {
    view_ = std::make_unique<pigmora::BPViewDialog>();
    EXPECT_TRUE(view_->open(host::kDialogAsync, pigmora::kPaintViewId, -1, -1, 600, 600));
    ui().settle();
    return ui().window(pigmora::kPaintViewId);
  }
  pigmora::MaterialViewArea& area() { return view_->materials(); }

  // A 2 x 1 grid: polygon 0 is the left half of the UV square, polygon 1 the right half. Each
  // has a material with a 256 x 256 colour texture, restricted to a selection tag of its own.
  void twoMaterials() {
    auto b = builder();
    obj_ = b.addMesh("Box", hostapp::gridMesh(2, 1, 2.0));
    left_ = b.addMaterial("Left");
    right_ = b.addMaterial("Right");
    const host::Vector red(200, 40, 40), blue(40, 60, 200);
    leftTex_ = b.addTexture(left_, 0, 256, 256, 5, &red);
    rightTex_ = b.addTexture(right_, 0, 256, 256, 5, &blue);
    b.addSelectionTag(obj_, "UV_0", {0});
    b.addSelectionTag(obj_, "UV_1", {1});
    b.addTextureTag(obj_, left_, "UV_0");
    b.addTextureTag(obj_, right_, "UV_1");
    doc_->setActiveObject(obj_);
  }

  std::vector<host::UiItem> items(Window& w, int32_t areaId) {
    std::vector<host::UiItem> out;
    if (host::GeUserArea* a = w.area(areaId)) a->listItems(out);
    return out;
  }
  bool clickMenu(Window& w, const std::string& text) {
    for (const host::UiItem& it : items(w, pigmora::kViewMenuArea))
      if (it.label == text)
        return w.mouseClick(pigmora::kViewMenuArea, (it.rect.x1 + it.rect.x2) / 2,
                            (it.rect.y1 + it.rect.y2) / 2);
    return false;
  }
  host::UiRect cellRect(Window& w, int32_t index) {
    return items(w, kPaintViewArea).at(static_cast<size_t>(index)).rect;
  }
  std::string label(Window& w, int32_t id) {
    std::string s;
    EXPECT_TRUE(w.dialog()->getString(id, s));
    return s;
  }
  std::array<uint8_t, 4> pixel(host::PaintBitmap* bmp, int32_t x, int32_t y) {
    std::array<uint8_t, 4> p{};
    bmp->getPixelRow(x, y, 1, p.data(), host::kModeARGB8);
    return p;
  }

  std::unique_ptr<pigmora::BPViewDialog> view_;
  host::PolygonObject* obj_ = nullptr;
  host::Material *left_ = nullptr, *right_ = nullptr;
  host::PaintTexture *leftTex_ = nullptr, *rightTex_ = nullptr;
};

// --- The grid ---------------------------------------------------------------------------------

TEST(AutoGrid, GeometryFollowsTheCellAndGapSizes) {
  pigmora::LayoutAutoGrid grid;
  grid.setCellSize(100, 100);
  grid.setAreaSize(99, 500);
  EXPECT_EQ(grid.columns(), 1) << "narrower than one cell still shows one column";
  grid.setAreaSize(330, 500);  // 330 / (100 + 10) = 3
  EXPECT_EQ(grid.columns(), 3);
  // Cell 4: column 1, row 1. Left 10 + 110, top 10 + 110, right 110 * 2, bottom 110 * 2.
  EXPECT_EQ(grid.cellRect(4), (host::UiRect{120, 120, 220, 220}));
  int32_t w = 0, h = 0;
  grid.minimumSize(w, h);
  EXPECT_EQ(w, 150);
  EXPECT_EQ(h, 10) << "no cells: only the gap";
  grid.setGap(10, 24);  // the material view adds a text line
  EXPECT_EQ(grid.cellRect(3), (host::UiRect{10, 148, 110, 248}));
}

TEST_F(PaintViewTest, GridClicksSelectByQualifiersAndGapsBelongToTheCellRightOfThem) {
  GridDialog dlg;
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 4000, 0, 0, 420, 400));
  Window* w = ui().window(4000);
  int draws = 0;
  std::vector<ProbeCell*> cells;
  for (int i = 0; i < 6; ++i) {
    cells.push_back(host::make<ProbeCell>(&draws));
    ASSERT_TRUE(dlg.area().layout()->addElement(cells.back()));
  }
  dlg.area().setCellSize(100);
  ui().settle();
  auto* grid = static_cast<pigmora::LayoutAutoGrid*>(dlg.area().layout());
  ASSERT_GE(grid->columns(), 3);

  // x = 115 lies in the gap left of cell 1 (which starts at 120): cell 1, 5 pixels left of it.
  w->mouseClick(pigmora::kViewDefaultArea, 115, 50);
  EXPECT_TRUE(cells[1]->selected());
  ASSERT_EQ(cells[1]->clicks.size(), 1u);
  EXPECT_EQ(cells[1]->clicks[0], std::make_pair(-5, 40));
  w->mouseClick(pigmora::kViewDefaultArea, 20, 20, host::kMouseLeft, host::kQualShift);
  EXPECT_TRUE(cells[0]->selected());
  EXPECT_TRUE(cells[1]->selected()) << "shift adds";
  w->mouseClick(pigmora::kViewDefaultArea, 150, 50, host::kMouseLeft, host::kQualCtrl);
  EXPECT_FALSE(cells[1]->selected()) << "control takes only that cell out";
  EXPECT_TRUE(cells[0]->selected());
  w->mouseClick(pigmora::kViewDefaultArea, 250, 50);
  int selected = 0;
  for (ProbeCell* c : cells) selected += c->selected() ? 1 : 0;
  EXPECT_EQ(selected, 1);
  EXPECT_TRUE(cells[2]->selected()) << "a plain click selects one cell alone";
  // Below the last row (two rows of three cells) lies no cell.
  w->mouseClick(pigmora::kViewDefaultArea, 20, 2 * 110 + 5);
  for (ProbeCell* c : cells) EXPECT_FALSE(c->selected()) << "a click beside every cell clears";
}

TEST_F(PaintViewTest, OnlyCellsInTheVisiblePartOfTheScrollGroupAreDrawn) {
  GridDialog dlg;
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 4001, 0, 0, 360, 300));
  Window* w = ui().window(4001);
  int draws = 0;
  for (int i = 0; i < 60; ++i) dlg.area().layout()->addElement(host::make<ProbeCell>(&draws));
  dlg.area().setCellSize(100);
  ui().settle();
  const auto* grid = static_cast<pigmora::LayoutAutoGrid*>(dlg.area().layout());
  const int32_t columns = grid->columns();
  host::UiRect shown;
  ASSERT_TRUE(dlg.visibleArea(pigmora::kViewContentScroll, shown));
  // Rows from the top row of the view to its bottom row; each full row has `columns` cells.
  const int32_t firstRow = shown.y1 / 110, lastRow = shown.y2 / 110;
  const int32_t lastColumn = std::min(shown.x2 / 110, columns - 1);
  const int32_t expected = (lastRow - firstRow) * columns + lastColumn + 1;
  draws = 0;
  dlg.area().redraw();
  ui().settle();
  EXPECT_EQ(draws, expected);
  EXPECT_LT(draws, 60);
  // Revealing the last cell scrolls just far enough for all of it to show.
  const host::UiRect last = dlg.area().layout()->cellRect(59);
  ASSERT_TRUE(w->reveal(pigmora::kViewDefaultArea, last));
  ASSERT_TRUE(dlg.visibleArea(pigmora::kViewContentScroll, shown));
  EXPECT_GE(last.y1, shown.y1);
  EXPECT_EQ(last.y2, shown.y2);
  // Scrolled to the end, the last rows are drawn and the first are not.
  draws = 0;
  ASSERT_TRUE(w->scrollTo(pigmora::kViewContentScroll, 0, 100000));
  EXPECT_GT(draws, 0);
  EXPECT_LT(draws, 60);
  ASSERT_TRUE(dlg.visibleArea(pigmora::kViewContentScroll, shown));
  EXPECT_GT(shown.y1, 0);
}

TEST_F(PaintViewTest, MenuPanelFoldsHeadersAndRunsEntries) {
  twoMaterials();
  Window* w = open();
  ASSERT_NE(w, nullptr);
  std::vector<host::UiItem> lines = items(*w, pigmora::kViewMenuArea);
  // Five headers with 7 + 11 + 4 + 3 + 2 entries, in the table's order.
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0].label, "Layer Commands");
  EXPECT_EQ(lines[1].label, "Add Layer");
  EXPECT_EQ(lines[8].label, "Add Channel");
  EXPECT_EQ(lines[10].label, "Diffusion");
  EXPECT_EQ(lines[31].label, "Flip UVs Vertical");
  host::GeUserArea* panel = w->area(pigmora::kViewMenuArea);
  int32_t mw = 0, mh = 0;
  ASSERT_TRUE(panel->getMinSize(mw, mh));
  const int32_t th = panel->textHeight();
  // Per header: its entries (a text line and 5 pixels each) and 20; then 20 more.
  EXPECT_EQ(mw, 200);
  EXPECT_EQ(mh, (27 * (th + 5)) + 5 * 20 + 20);
  // Entries sit 20 pixels right of their header, one line step below one another.
  EXPECT_EQ(lines[1].rect.x1, lines[0].rect.x1 + 20);
  EXPECT_EQ(lines[2].rect.y1 - lines[1].rect.y1, th + 5);

  ASSERT_TRUE(clickMenu(*w, "Add Channel"));
  lines = items(*w, pigmora::kViewMenuArea);
  ASSERT_EQ(lines.size(), 21u) << "the folded header's entries are gone";
  EXPECT_EQ(lines[9].label, "UDIM") << "and take no space: the next header follows";
  EXPECT_EQ(lines[9].rect.y1, lines[8].rect.y1 + 20);
  ASSERT_TRUE(panel->getMinSize(mw, mh));
  EXPECT_EQ(mh, (16 * (th + 5)) + 5 * 20 + 20);
  EXPECT_FALSE(clickMenu(*w, "Bump"));

  // Hover: the line under the mouse, and only that one.
  const host::UiRect udim = lines[9].rect;
  w->mouseMove(pigmora::kViewMenuArea, udim.x1 + 10, udim.y1 + 2);
  auto* menu = static_cast<pigmora::MenuArea*>(panel);
  EXPECT_TRUE(menu->header(2)->hovered());
  EXPECT_FALSE(menu->header(0)->hovered());
  ASSERT_TRUE(clickMenu(*w, "Flip UVs Vertical"));
  EXPECT_EQ(view_->lastMenuCommand(), 1038005);
}

// --- The material view --------------------------------------------------------------------------

TEST_F(PaintViewTest, NoMaterialCellShowsPolygonsOutsideEverySelectionTag) {
  auto b = builder();
  obj_ = b.addMesh("Box", hostapp::gridMesh(3, 1, 3.0));
  left_ = b.addMaterial("Left");
  b.addSelectionTag(obj_, "UV_0", {0});
  b.addTextureTag(obj_, left_, "UV_0");
  doc_->setActiveObject(obj_);
  Window* w = open();
  ASSERT_EQ(area().cellCount(), 2);
  EXPECT_EQ(area().cell(0)->label(), "No Material");
  EXPECT_EQ(area().cell(0)->material(), nullptr);
  EXPECT_EQ(area().cell(1)->label(), "Left");
  EXPECT_EQ(items(*w, kPaintViewArea)[0].label, "No Material");

  // Selection tags that hold every polygon leave no such cell.
  b.addSelectionTag(obj_, "Rest", {1, 2});
  view_->rebuild(0);
  ASSERT_EQ(area().cellCount(), 1);
  EXPECT_EQ(area().cell(0)->label(), "Left");
  // An unrestricted tag shows the whole object: no such cell either.
  b.addTextureTag(obj_, b.addMaterial("All"));
  view_->rebuild(0);
  EXPECT_EQ(area().cellCount(), 2);
}

TEST_F(PaintViewTest, ChannelLabelNamesEveryChannelPaintedTogether) {
  twoMaterials();
  Window* w = open();
  EXPECT_EQ(label(*w, pigmora::kLabelChannel), "Channel: color");
  EXPECT_EQ(label(*w, pigmora::kLabelLayer), "Layer: Unknown") << "nothing selected to paint";
  for (int32_t c = 0; c < 14; ++c) painter().setChannelEnabled(c, c == 0 || c == 6);
  painter().setMultiChannel(true);
  painter().setSelectedTexture(leftTex_);
  area().refreshLabels();
  EXPECT_EQ(label(*w, pigmora::kLabelChannel), "Channel: MultiMode (color,bump,)");
  EXPECT_EQ(label(*w, pigmora::kLabelLayer), "Layer: Background");
  painter().setMultiChannel(false);
  for (int32_t c = 0; c < 14; ++c) painter().setChannelEnabled(c, false);
  area().refreshLabels();
  EXPECT_EQ(label(*w, pigmora::kLabelChannel), "Channel: MultiMode (color,bump,)")
      << "with no channel enabled the label stays";
}

TEST_F(PaintViewTest, ViewLayerActivatesTheNameInEveryChannelAndMaterial) {
  twoMaterials();
  auto b = builder();
  host::PaintTexture* bump = b.addTexture(left_, 6, 64, 64, 5);
  for (host::PaintTexture* t : {leftTex_, rightTex_, bump}) t->addLayer("Dirt", 5);
  for (host::PaintTexture* t : {leftTex_, rightTex_, bump}) t->addLayer("Top", 5);
  Window* w = open();
  ui().queueMenuPick("View Layer/Dirt");
  const host::UiRect cell = cellRect(*w, 0);
  ASSERT_TRUE(w->mouseClick(kPaintViewArea, cell.x1 + 20, cell.y1 + 20, host::kMouseRight));
  EXPECT_TRUE(ui().scriptErrors().empty());
  for (host::PaintTexture* t : {leftTex_, rightTex_, bump})
    EXPECT_EQ(t->activeLayer()->name(), "Dirt");
  EXPECT_EQ(area().currentLayerName(), "Dirt");
  // The menu listed each bitmap layer of the colour channel once, numbered from 2000 per tag.
  const host::PopupMenu& menu = ui().menus().back().menu;
  const auto& entries = menu.entries();
  ASSERT_EQ(entries.back().text, "Hide/Show Layer");
  const auto& layers = entries[entries.size() - 2];
  ASSERT_EQ(layers.text, "View Layer");
  ASSERT_EQ(layers.children.size(), 3u);
  EXPECT_EQ(layers.children[0].id, 2000);
  EXPECT_EQ(layers.children[2].text, "Top");
  EXPECT_EQ(ui().menus().back().flags, host::kPopupContext);
  // The change is one interface entry in the undo list.
  const auto& undo = doc_->undoList();
  ASSERT_GT(undo.undoCount(), 0u);
  EXPECT_EQ(undo.undoGroup(undo.undoCount() - 1).back()->text(),
            "SculptPaintUndo_LayerChange_Dirt");
}

TEST_F(PaintViewTest, HideShowLayerTwiceRestoresVisibility) {
  twoMaterials();
  host::PaintBitmap* a = leftTex_->addLayer("Paint", 5);
  host::PaintBitmap* c = rightTex_->addLayer("Paint", 5);
  Window* w = open();
  const host::UiRect cell = cellRect(*w, 1);
  ui().queueMenuPick("Hide/Show Layer/Paint");
  ASSERT_TRUE(w->mouseClick(kPaintViewArea, cell.x1 + 5, cell.y1 + 5, host::kMouseRight));
  EXPECT_FALSE(a->visible());
  EXPECT_FALSE(c->visible());
  // Shown layers carry the check mark, hidden ones do not.
  const auto& shownMenu = ui().menus().back().menu.entries().back();
  EXPECT_EQ(shownMenu.children[1].text, std::string("Paint") + host::kCheckMarkSuffix);
  ui().queueMenuPick("Hide/Show Layer/Paint");
  ASSERT_TRUE(w->mouseClick(kPaintViewArea, cell.x1 + 5, cell.y1 + 5, host::kMouseRight));
  EXPECT_EQ(ui().menus().back().menu.entries().back().children[1].text, "Paint");
  EXPECT_TRUE(a->visible());
  EXPECT_TRUE(c->visible());
}

TEST_F(PaintViewTest, ClickOnEmptySpaceClearsTheSelectionAsOneUndoStep) {
  twoMaterials();
  Window* w = open();
  // Cells of 256 in a 400-pixel area: one column; right of it lies no cell.
  const int32_t x = 300, y = 20;
  ASSERT_EQ(area().canDropAt(x, y), false);
  const size_t before = doc_->undoList().undoCount();
  w->mouseClick(kPaintViewArea, x, y);
  EXPECT_EQ(doc_->undoList().undoCount(), before) << "an empty selection records nothing";
  obj_->polygonSelection().select(1);
  w->mouseClick(kPaintViewArea, x, y);
  EXPECT_TRUE(obj_->polygonSelection().empty());
  ASSERT_EQ(doc_->undoList().undoCount(), before + 1);
  ASSERT_TRUE(doc_->undo());
  EXPECT_TRUE(obj_->polygonSelection().isSelected(1));
  // Points in point mode.
  doc_->data().setInt32(host::kDocMode, 5);
  obj_->pointSelection().select(0);
  w->mouseClick(kPaintViewArea, x, y);
  EXPECT_TRUE(obj_->pointSelection().empty());
  EXPECT_TRUE(obj_->polygonSelection().isSelected(1));
}

TEST_F(PaintViewTest, UndoOfAChannelChangeReloadsTheArea) {
  twoMaterials();
  builder().addTexture(left_, 6, 64, 64, 5);
  Window* w = open();
  ui().queueMenuPick("View Channel/bump");
  const host::UiRect cell = cellRect(*w, 0);
  ASSERT_TRUE(w->mouseClick(kPaintViewArea, cell.x1 + 5, cell.y1 + 5, host::kMouseRight));
  EXPECT_EQ(area().currentChannel(), 6);
  EXPECT_EQ(label(*w, pigmora::kLabelChannel), "Channel: bump");
  const int32_t refreshes = area().refreshes();
  ASSERT_TRUE(doc_->undo());
  ui().settle();
  EXPECT_GT(area().refreshes(), refreshes) << "the undone change reached the area";
  EXPECT_EQ(host_.events().specials().back().id, 1037988);
  EXPECT_EQ(host_.events().specials().back().p2, 6);
}

TEST_F(PaintViewTest, CellClickMakesItsTagMaterialAndLayerTheOnesPainted) {
  twoMaterials();
  painter().setSelectedTexture(leftTex_);
  Window* w = open();
  const host::UiRect cell = cellRect(*w, 1);
  w->mouseClick(kPaintViewArea, cell.x1 + 200, cell.y1 + 100);
  EXPECT_EQ(doc_->activeMaterial(), right_);
  EXPECT_EQ(doc_->activeObject(), obj_);
  ASSERT_NE(doc_->activeTag(), nullptr);
  EXPECT_EQ(static_cast<host::TextureTag*>(doc_->activeTag())->material(), right_);
  EXPECT_EQ(painter().selectedTexture(), rightTex_);
  EXPECT_EQ(label(*w, pigmora::kLabelLayer), "Layer: Background");
  EXPECT_TRUE(area().cell(1)->selected()) << "and it stays selected when the view is rebuilt";
}

TEST_F(PaintViewTest, DraggingInACellSelectsThePolygonsOnTheWayAsOneUndoStep) {
  twoMaterials();
  // One unrestricted material on a 4 x 4 grid: cells of 256 pixels, polygons of 64.
  auto b = builder();
  host::PolygonObject* grid = b.addMesh("Grid", hostapp::gridMesh(4, 4, 4.0));
  host::Material* m = b.addMaterial("Whole");
  b.addTexture(m, 0, 128, 128, 5);
  b.addTextureTag(grid, m);
  doc_->setActiveObject(grid);
  Window* w = open();
  ASSERT_EQ(area().cellCount(), 1);
  const host::UiRect cell = cellRect(*w, 0);
  const size_t before = doc_->undoList().undoCount();
  // Along the first row of polygons (v 0 .. 0.25), from u = 0.1 to u = 0.9, in three moves.
  const int32_t y = cell.y1 + 30;
  ASSERT_TRUE(
      w->mouseDrag(kPaintViewArea,
                   {{cell.x1 + 25, y}, {cell.x1 + 25, y}, {cell.x1 + 120, y}, {cell.x1 + 230, y}}));
  EXPECT_EQ(grid->polygonSelection().indices(), (std::vector<int32_t>{0, 1, 2, 3}))
      << "polygon index = column + 4 x row in the grid's order";
  EXPECT_EQ(doc_->undoList().undoCount(), before + 1) << "one undo step for the drag";
  const hostapp::AreaSlot* slot = w->find(kPaintViewArea)->area;
  EXPECT_EQ(slot->idleTime(), 10) << "the one poll that found the mouse still waited 10 ms";

  // Control deselects; alt takes whole islands (the grid is one island).
  w->mouseClick(kPaintViewArea, cell.x1 + 25, y, host::kMouseLeft, host::kQualCtrl);
  EXPECT_EQ(grid->polygonSelection().count(), 3);
  w->mouseClick(kPaintViewArea, cell.x1 + 100, cell.y1 + 100, host::kMouseLeft, host::kQualAlt);
  EXPECT_EQ(grid->polygonSelection().count(), 16);
  w->mouseClick(kPaintViewArea, cell.x1 + 100, cell.y1 + 100);
  EXPECT_EQ(grid->polygonSelection().count(), 1);
  w->mouseDoubleClick(kPaintViewArea, cell.x1 + 100, cell.y1 + 100);
  EXPECT_EQ(grid->polygonSelection().count(), 16) << "a double click selects every island";
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(grid->polygonSelection().count(), 1);
}

TEST_F(PaintViewTest, SelectedPolygonsAreOutlinedInYellowOverThePreview) {
  twoMaterials();
  Window* w = open();
  obj_->polygonSelection().select(0);
  area().redraw();
  const host::UiRect cell = cellRect(*w, 0);
  const hostapp::Canvas* pic = w->areaPicture(kPaintViewArea);
  ASSERT_NE(pic, nullptr);
  // Polygon 0's right edge runs at u = 0.5: x = 128 inside the 256-pixel cell.
  EXPECT_EQ(pic->at(cell.x1 + 128, cell.y1 + 100), (hostapp::Rgba{255, 255, 0, 255}));
  // Beside it the preview: the red texture.
  EXPECT_EQ(pic->at(cell.x1 + 60, cell.y1 + 100), (hostapp::Rgba{200, 40, 40, 255}));
  obj_->polygonSelection().deselectAll();
  area().redraw();
  pic = w->areaPicture(kPaintViewArea);
  EXPECT_EQ(pic->at(cell.x1 + 128, cell.y1 + 100), (hostapp::Rgba{0, 0, 0, 255}));
  // Outside the polygon modes a restricted cell shows no outline.
  doc_->data().setInt32(host::kDocMode, 6);
  area().redraw();
  pic = w->areaPicture(kPaintViewArea);
  EXPECT_EQ(pic->at(cell.x1 + 128, cell.y1 + 100), (hostapp::Rgba{200, 40, 40, 255}));
}

TEST_F(PaintViewTest, UvwTagOfTheWrongSizeShowsAnEmptyCell) {
  twoMaterials();
  static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag))->resize(3);
  Window* w = open();
  obj_->polygonSelection().select(0);
  area().redraw();
  const host::UiRect cell = cellRect(*w, 0);
  const hostapp::Canvas* pic = w->areaPicture(kPaintViewArea);
  EXPECT_EQ(pic->at(cell.x1 + 128, cell.y1 + 100), (hostapp::Rgba{200, 40, 40, 255}))
      << "the preview without any outline";
  w->mouseClick(kPaintViewArea, cell.x1 + 60, cell.y1 + 60);  // picking finds nothing, no crash
}

TEST_F(PaintViewTest, ImagesDroppedOnACellReplaceItsLayerAsOneUndoStep) {
  twoMaterials();
  Window* w = open();
  const host::UiRect cell = cellRect(*w, 0);
  // Not an image: the layer stays.
  const std::string text = (std::filesystem::temp_directory_path() / "pv_not_image.png").string();
  {
    std::FILE* f = std::fopen(text.c_str(), "wb");
    std::fputs("no picture", f);
    std::fclose(f);
  }
  EXPECT_EQ(w->dropFile(kPaintViewArea, cell.x1 + 10, cell.y1 + 10, text), host::kCursorDropCopy);
  EXPECT_EQ(pixel(leftTex_->activeLayer(), 5, 5), (std::array<uint8_t, 4>{255, 200, 40, 40}));
  EXPECT_EQ(w->dropFile(kPaintViewArea, 300, 20, text), host::kCursorForbidden) << "not on a cell";

  // A 2 x 2 image scaled onto the 256 x 256 layer: each quarter takes one pixel's colour.
  const std::string image = (std::filesystem::temp_directory_path() / "pv_quad.png").string();
  {
    auto out = OIIO::ImageOutput::create(image);
    ASSERT_TRUE(out);
    const uint8_t px[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    out->open(image, OIIO::ImageSpec(2, 2, 3, OIIO::TypeDesc::UINT8));
    out->write_image(OIIO::TypeDesc::UINT8, px);
    out->close();
  }
  const size_t before = doc_->undoList().undoCount();
  EXPECT_EQ(w->dropFile(kPaintViewArea, cell.x1 + 10, cell.y1 + 10, image), host::kCursorDropCopy);
  EXPECT_EQ(pixel(leftTex_->activeLayer(), 10, 10), (std::array<uint8_t, 4>{255, 255, 0, 0}));
  EXPECT_EQ(pixel(leftTex_->activeLayer(), 200, 10), (std::array<uint8_t, 4>{255, 0, 255, 0}));
  EXPECT_EQ(pixel(leftTex_->activeLayer(), 200, 200), (std::array<uint8_t, 4>{255, 255, 255, 255}));
  EXPECT_EQ(doc_->undoList().undoCount(), before + 1);
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(pixel(leftTex_->activeLayer(), 10, 10), (std::array<uint8_t, 4>{255, 200, 40, 40}));
  std::filesystem::remove(text);
  std::filesystem::remove(image);
}

TEST_F(PaintViewTest, DeleteTakesTheCellWithItsTagsAndUndoBringsThemBack) {
  twoMaterials();
  Window* w = open();
  const int32_t tags = obj_->tagCount();
  ui().queueMenuPick("Delete");
  const host::UiRect cell = cellRect(*w, 1);
  ASSERT_TRUE(w->mouseClick(kPaintViewArea, cell.x1 + 5, cell.y1 + 5, host::kMouseRight));
  EXPECT_EQ(obj_->tagCount(), tags - 2) << "the texture tag and its selection tag";
  ui().settle();
  EXPECT_EQ(area().cellCount(), 1);
  ASSERT_TRUE(doc_->undo());
  ui().settle();
  EXPECT_EQ(obj_->tagCount(), tags);
  EXPECT_EQ(area().cellCount(), 2) << "the view follows the scene back";
  // A right click beside every cell still shows the menu; what needs a cell does nothing.
  ui().queueMenuPick("Delete");
  ASSERT_TRUE(w->mouseClick(kPaintViewArea, 300, 20, host::kMouseRight));
  EXPECT_EQ(obj_->tagCount(), tags);
  ui().queueMenuPick("Bleed Active Layers");
  ASSERT_TRUE(w->mouseClick(kPaintViewArea, 300, 20, host::kMouseRight));
  EXPECT_TRUE(ui().scriptErrors().empty());
}

TEST_F(PaintViewTest, ObjectsAndMaterialsDeletedUnderACellLeaveItWithoutMaterial) {
  twoMaterials();
  Window* w = open();
  host::Material* gone = doc_->removeMaterial(right_);
  host_.scene().freeNode(gone);
  area().refresh();
  EXPECT_EQ(area().cell(1)->label(), "No Material");
  host::Object* obj = doc_->removeObject(obj_);
  host_.scene().freeNode(obj);
  ui().settle();
  // Cells keep only links: until the next rebuild they show what is left, and every action on
  // them finds nothing to do.
  ASSERT_EQ(area().cellCount(), 2);
  EXPECT_EQ(area().cell(0)->object(), nullptr);
  std::string error;
  EXPECT_TRUE(
      w->savePicture((std::filesystem::temp_directory_path() / "pv_gone.png").string(), error));
  const host::UiRect cell = cellRect(*w, 0);
  for (const char* entry : {"Bleed", "Flood Fill", "Delete", "Paint All", "Bleed Active Layers"}) {
    ui().queueMenuPick(entry);
    EXPECT_TRUE(w->mouseClick(kPaintViewArea, cell.x1 + 3, cell.y1 + 3, host::kMouseRight));
  }
  w->mouseDrag(kPaintViewArea, {{cell.x1 + 3, cell.y1 + 3}, {cell.x1 + 90, cell.y1 + 90}});
  EXPECT_EQ(w->dropFile(kPaintViewArea, cell.x1 + 3, cell.y1 + 3, "/no/such/file.png"),
            host::kCursorDropCopy);
  view_->rebuild(0);
  EXPECT_EQ(area().cellCount(), 0) << "a rebuild without active object leaves the view empty";
}

// --- The paint view dialog ----------------------------------------------------------------------

TEST_F(PaintViewTest, OpensWithItsTitleLabelsAndCellsOf256Pixels) {
  twoMaterials();
  Window* w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->title(), "Pigmora Material View");
  EXPECT_EQ(w->width(), 616) << "600 pixels of content and the frame's padding";
  double zoom = 0;
  ASSERT_TRUE(view_->getReal(pigmora::kViewZoomSlider, zoom));
  EXPECT_DOUBLE_EQ(zoom, 0.5);
  EXPECT_EQ(cellRect(*w, 0).width(), 257) << "256 pixels from left to right edge, both drawn";
  ASSERT_TRUE(w->setNumber(pigmora::kViewZoomSlider, 0.3));
  EXPECT_EQ(cellRect(*w, 0).width(), 154) << "int(0.3 x 512) = 153";
  EXPECT_EQ(area().cell(0)->width(), 153);
}

TEST_F(PaintViewTest, CancelInTheNameDialogAddsNoLayerAndNoUndo) {
  twoMaterials();
  Window* w = open();
  const size_t before = doc_->undoList().undoCount();
  std::string title;
  int32_t x = 0, y = 0;
  ui().queueModal([&](Window& modal) {
    title = modal.title();
    x = modal.x();
    y = modal.y();
    std::string name;
    modal.dialog()->getString(1000, name);
    EXPECT_EQ(name, "New Layer");
    modal.click("Cancel");
  });
  ASSERT_TRUE(clickMenu(*w, "Add Layer"));
  EXPECT_EQ(title, "Set Layer Name");
  EXPECT_EQ(x, w->x());
  EXPECT_EQ(y, w->contentScreenY()) << "at the paint view's top-left corner";
  EXPECT_EQ(leftTex_->layerCount(), 1);
  EXPECT_EQ(doc_->undoList().undoCount(), before);

  ui().queueModal([](Window& modal) {
    modal.setText(1000, "Dirt");
    modal.click("OK");
  });
  ASSERT_TRUE(clickMenu(*w, "Add Layer"));
  ASSERT_EQ(leftTex_->layerCount(), 2);
  EXPECT_EQ(leftTex_->activeLayer()->name(), "Dirt");
  EXPECT_EQ(rightTex_->activeLayer()->name(), "Dirt");
  EXPECT_EQ(leftTex_->activeLayer()->colorMode(), host::kModeARGB8);
  ASSERT_EQ(doc_->undoList().undoCount(), before + 1) << "one undo group for the whole action";
  EXPECT_EQ(doc_->undoList().undoGroup(before).back()->text(), "SculptPaintUndo_LayerChange_Dirt");
  ASSERT_TRUE(doc_->undo());
  EXPECT_EQ(leftTex_->layerCount(), 1) << "undo takes the new layers out again";
  ASSERT_TRUE(doc_->redo());
  EXPECT_EQ(leftTex_->layerCount(), 2);
}

TEST_F(PaintViewTest, AddingAChannelThatHasATextureCreatesNoneButShowsIt) {
  twoMaterials();
  builder().addTexture(left_, 6, 32, 32, 5);
  Window* w = open();
  const size_t textures = doc_->textures().size();
  ASSERT_TRUE(clickMenu(*w, "Bump"));
  EXPECT_EQ(area().currentChannel(), 6);
  // Left had a bump texture; Right gets one.
  EXPECT_EQ(doc_->textures().size(), textures + 1);
  host::PaintTexture* made = host_.paint().textureOf(right_, 6, doc_);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(host_.paint().textureOf(left_, 6, doc_)->width(), 32);
  EXPECT_EQ(right_->data().getVector(host::kMatColor), host::Vector(0.75, 0.75, 0.75));
  EXPECT_EQ(right_->data().getInt32(host::kMatColorUsed), 1);
  EXPECT_EQ(std::filesystem::path(made->filePath()).filename(), "Right_bump.tif");
  EXPECT_EQ(label(*w, pigmora::kLabelChannel), "Channel: bump");
  EXPECT_EQ(area().cell(1)->currentLayer(), made->activeLayer());
}

TEST_F(PaintViewTest, NewChannelTexturesTakeTheSizeOfThePreferencesOr128ForPolygonMaterials) {
  auto b = builder();
  obj_ = b.addMesh("Box", hostapp::gridMesh(2, 1, 2.0));
  host::Material* poly = b.addMaterial("Poly");
  host::Material* plain = b.addMaterial("Plain");
  b.addTexture(poly, 0, 128, 128, 5);
  b.addTexture(plain, 0, 300, 200, 5);
  b.addTextureTag(obj_, plain);
  b.addTextureTag(obj_, poly);
  doc_->setActiveObject(obj_);
  {
    hostapp::PrefsWindow prefs(host_, pigmora::kPrefsPageId);  // stores 2048 x 2048
    ASSERT_TRUE(prefs.open());
  }
  Window* w = open();
  ASSERT_TRUE(clickMenu(*w, "Glow"));
  EXPECT_EQ(host_.paint().textureOf(plain, 10, doc_)->width(), 2048);
  EXPECT_EQ(host_.paint().textureOf(poly, 10, doc_)->width(), 128);
  EXPECT_EQ(host_.paint().textureOf(poly, 10, doc_)->height(), 128);
  // Without world settings the fallbacks apply: 1024 x 1024.
  host_.settings().setAvailable(false);
  ASSERT_TRUE(clickMenu(*w, "Fog"));
  EXPECT_EQ(host_.paint().textureOf(plain, 5, doc_)->width(), 1024);
  EXPECT_EQ(host_.paint().textureOf(plain, 5, doc_)->height(), 1024);
  host_.settings().setAvailable(true);
}

TEST_F(PaintViewTest, ChannelsWithoutATextureGetNoLayer) {
  twoMaterials();
  right_->enableChannel(6, true);  // a bump channel without texture
  builder().addTexture(left_, 6, 32, 32, 5);
  Window* w = open();
  ASSERT_TRUE(clickMenu(*w, "Create Flood Fill layer"));
  EXPECT_EQ(host_.paint().textureOf(left_, 6, doc_)->activeLayer()->name(), "Filled");
  EXPECT_EQ(host_.paint().textureOf(right_, 6, doc_), nullptr);
  EXPECT_EQ(rightTex_->activeLayer()->name(), "Filled");
  // The fill paints the tag's polygons: polygon 1 covers u 0.5 .. 1 of Right's texture.
  EXPECT_EQ(pixel(rightTex_->activeLayer(), 200, 100)[0], 255);
  EXPECT_EQ(pixel(rightTex_->activeLayer(), 60, 100)[0], 0);
}

TEST_F(PaintViewTest, ChangeMessagesAlternateBetweenRefreshAndRebuild) {
  twoMaterials();
  Window* w = open();
  ASSERT_NE(w, nullptr);
  // Settle the first impressions: the active material and object are linked now.
  for (int i = 0; i < 3; ++i) ui().coreMessage(host::kCoreDocumentChanged);
  const bool seen = view_->polygonSeen();
  int32_t rebuilds = area().rebuilds();
  ui().coreMessage(host::kCoreDocumentChanged);
  EXPECT_NE(view_->polygonSeen(), seen);
  const int32_t first = area().rebuilds() - rebuilds;
  rebuilds = area().rebuilds();
  ui().coreMessage(host::kCoreViewsChanged);
  const int32_t second = area().rebuilds() - rebuilds;
  EXPECT_EQ(view_->polygonSeen(), seen);
  EXPECT_EQ(first + second, 1) << "one of two messages rebuilds, the other only refreshes";
  // Other messages are not change messages.
  rebuilds = area().rebuilds();
  ui().coreMessage(12345);
  EXPECT_EQ(area().rebuilds(), rebuilds);
  // Another active material rebuilds at once.
  doc_->setActiveMaterial(right_, false);
  ui().settle();
  EXPECT_GT(area().rebuilds(), rebuilds);
}

TEST_F(PaintViewTest, RebuildsRenderOnlyThePreviewsWhoseLayerChanged) {
  twoMaterials();
  open();
  view_->rebuild(0);
  EXPECT_EQ(area().cell(0)->renders(), 0) << "the previous cell's preview is taken over";
  EXPECT_EQ(area().cell(1)->renders(), 0);
  const uint8_t white[4] = {255, 255, 255, 255};
  leftTex_->activeLayer()->setPixelRow(3, 3, 1, white, host::kModeARGB8);
  view_->rebuild(0);
  EXPECT_EQ(area().cell(0)->renders(), 1);
  EXPECT_EQ(area().cell(1)->renders(), 0);
  std::array<uint8_t, 3> rgb{};
  area().cell(0)->preview()->getPixelRow(6, 6, 1, rgb.data(), host::kModeRGB8);
  EXPECT_EQ(rgb, (std::array<uint8_t, 3>{255, 255, 255})) << "pixel (3, 3) of 256 is (6, 6) of 512";
}

TEST_F(PaintViewTest, WireframeIsDrawnTwiceIntoTheSameLayerWithBresenhamLines) {
  auto b = builder();
  hostapp::MeshData mesh = hostapp::gridMesh(1, 1, 1.0);
  // A quad whose corners land on (10, 10), (10, 50), (50, 90), (30, 10) of a 100 x 100 layer.
  mesh.uvs[0] = {{0.1, 0.1, 0}, {0.1, 0.5, 0}, {0.5, 0.9, 0}, {0.3, 0.1, 0}};
  obj_ = b.addMesh("Quad", mesh);
  left_ = b.addMaterial("Q");
  leftTex_ = b.addTexture(left_, 0, 100, 100, 5);
  b.addTextureTag(obj_, left_);
  doc_->setActiveObject(obj_);
  Window* w = open();
  ASSERT_TRUE(clickMenu(*w, "Create wireframe layer"));
  ASSERT_EQ(leftTex_->layerCount(), 2);
  host::PaintBitmap* wire = leftTex_->activeLayer();
  EXPECT_EQ(wire->name(), "Wireframe");
  const std::array<uint8_t, 4> black{255, 0, 0, 0}, clear{0, 0, 0, 0};
  // Every corner, both ends of every edge.
  for (auto [x, y] : std::vector<std::pair<int, int>>{{10, 10}, {10, 50}, {50, 90}, {30, 10}})
    EXPECT_EQ(pixel(wire, x, y), black) << x << "," << y;
  EXPECT_EQ(pixel(wire, 10, 30), black);  // a-b, vertical
  EXPECT_EQ(pixel(wire, 30, 70), black);  // b-c, the diagonal (10 + k, 50 + k)
  EXPECT_EQ(pixel(wire, 40, 50), black);  // c-d: 40 steps down of 80, x = 50 - 20 / 2
  EXPECT_EQ(pixel(wire, 45, 70), black);  // 20 steps down, x = 50 - 20 / 4
  EXPECT_EQ(pixel(wire, 20, 10), black);  // d-a, horizontal
  EXPECT_EQ(pixel(wire, 25, 40), clear) << "inside the quad nothing is drawn";
  EXPECT_EQ(pixel(wire, 31, 70), clear);

  ASSERT_TRUE(clickMenu(*w, "Create wireframe layer"));
  EXPECT_EQ(leftTex_->layerCount(), 2) << "the layer of that name is drawn into again";
  // A UDIM selection shifts the lines back into the square.
  auto* uvw = static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag));
  uvw->set(0, {{1.1, 1.1, 0}, {1.1, 1.5, 0}, {1.5, 1.9, 0}, {1.3, 1.1, 0}});
  host::SelectionTag* sel = b.addSelectionTag(obj_, "Left_UDIM_1012", {0});
  host::PaintBitmap* shifted = leftTex_->addLayer("Shifted", 5);
  pigmora::drawWireframe(shifted, obj_, sel, uvw);
  EXPECT_EQ(pixel(shifted, 30, 70), black);
  EXPECT_EQ(pixel(shifted, 45, 70), black);
}

TEST_F(PaintViewTest, WindowRendersCellFramesAndCaptionsWhereTheGeometrySays) {
  twoMaterials();
  Window* w = open();
  const std::string file = (std::filesystem::temp_directory_path() / "pv_window.png").string();
  std::string error;
  ASSERT_TRUE(w->savePicture(file, error)) << error;
  auto in = OIIO::ImageInput::open(file);
  ASSERT_TRUE(in);
  const OIIO::ImageSpec spec = in->spec();
  std::vector<uint8_t> px(static_cast<size_t>(spec.width) * spec.height * spec.nchannels);
  ASSERT_TRUE(in->read_image(0, 0, 0, -1, OIIO::TypeDesc::UINT8, px.data()));
  EXPECT_EQ(spec.width, w->width());
  auto at = [&](int x, int y, int c) {
    return px[(static_cast<size_t>(y) * spec.width + x) * spec.nchannels + c];
  };
  // The area's origin in the window picture: its gadget, below the title bar.
  const hostapp::Widget* gadget = w->find(kPaintViewArea);
  const int32_t ox = gadget->rect.x1, oy = gadget->rect.y1 + (w->contentScreenY() - w->y());
  const host::UiRect cell = cellRect(*w, 0);
  // The frame is black along the top edge (its corners rounded off), the preview red inside.
  int frame = 0, red = 0, caption = 0;
  for (int x = cell.x1 + 3; x <= cell.x2 - 3; ++x) {
    const int y = oy + cell.y1;
    frame += at(ox + x, y, 0) < 10 && at(ox + x, y, 1) < 10 ? 1 : 0;
    const int yi = oy + cell.y1 + 60;
    red += at(ox + x, yi, 0) == 200 && at(ox + x, yi, 2) == 40 ? 1 : 0;
  }
  EXPECT_GT(frame, 240);
  EXPECT_GT(red, 100);
  // The caption: light text pixels in the line 5 pixels under the cell, at its left edge.
  for (int y = cell.y2 + 5; y < cell.y2 + 5 + 14; ++y)
    for (int x = cell.x1; x < cell.x1 + 30; ++x) caption += at(ox + x, oy + y, 0) > 150 ? 1 : 0;
  EXPECT_GT(caption, 10);
  std::filesystem::remove(file);
}

}  // namespace
