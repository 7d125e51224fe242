// The headless user interface: dialogs built from layout calls, values and commands, modal
// dialogs, popup menus, message boxes, user areas with their drawing, mouse, drags and drops,
// core messages, and windows rendered to pictures. Each test builds a window, then scripts the
// user and checks what changed.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/binding.h"
#include "host/ui.h"
#include "hostapp/ui/ui_host.h"
#include "support/plugin_host.h"

namespace {

using hostapp::Widget;
using hostapp::Window;

// A file chooser with a check box, two columns of labelled fields and three buttons.
class LoaderDialog : public host::GeDialog {
 public:
  static constexpr int32_t kFile = 1001, kClose = 1006, kRun = 1004, kCreate = 1005;
  static constexpr int32_t kFirstToken = 2000, kTokens = 3;

  bool createLayout() override {
    ++layouts;
    setTitle("Loader");
    groupBegin(20, host::kScaleFit, 1, 0);
    groupBorderSpace(20, 10, 20, 10);
    groupBegin(10, host::kScaleH, 1, 0, "Texture");
    groupBorder(host::kBorderTitled);
    addFilename(kFile, host::kScaleH, "Texture");
    groupEnd();
    addCheckbox(kCreate, host::kFitH, 0, 0, "Create New Textures");
    groupBegin(11, host::kScaleH, 2, 0, "Texture Tokens");
    groupBorder(host::kBorderTitled);
    for (int32_t i = 0; i < kTokens; ++i) {
      addStaticText(3000 + i, 0, 0, 0, "token" + std::to_string(i));
      addEditText(kFirstToken + i, host::kScaleH);
    }
    groupEnd();
    groupBegin(12, host::kFitH, 3, 0);
    addButton(kRun, 0, 0, 0, "Setup Selected");
    addButton(1003, 0, 0, 0, "Load Textures");
    addButton(kClose, 0, 0, 0, "Close");
    groupEnd();
    groupEnd();
    return true;
  }
  bool initValues() override {
    for (int32_t i = 0; i < kTokens; ++i) setString(kFirstToken + i, "t" + std::to_string(i));
    setBool(kCreate, true);
    return true;
  }
  bool command(int32_t id, const host::Settings& msg) override {
    commands.push_back(id);
    EXPECT_EQ(msg.id(), id);
    if (id == kRun) getFilename(kFile, fileAtRun);
    if (id == kClose) close();
    return true;
  }
  void destroyWindow() override { ++destroyed; }

  int layouts = 0, destroyed = 0;
  std::vector<int32_t> commands;
  std::string fileAtRun;
};

// Asks for a name: an edit field and OK / Cancel.
class NameDialog : public host::GeModalDialog {
 public:
  bool createLayout() override {
    setTitle("Set Layer Name");
    groupBegin(5, host::kScaleFit, 3, 0);
    addEditText(1000, host::kScaleH | host::kFitV, 200, 10);
    addButton(1001, 0, 0, 0, "OK");
    addButton(1002, 0, 0, 0, "Cancel");
    groupEnd();
    return true;
  }
  bool initValues() override {
    name = "New Layer";
    setString(1000, name);
    return true;
  }
  bool command(int32_t id, const host::Settings&) override {
    if (id == 1001) {
      getString(1000, name);
      close();
    } else if (id == 1002) {
      name.clear();
      close();
    }
    return true;
  }
  std::string name;
};

// An area that records everything the host tells it, and draws what a test asks for.
class ProbeArea : public host::GeUserArea {
 public:
  bool getMinSize(int32_t& w, int32_t& h) override {
    w = minWidth;
    h = minHeight;
    return true;
  }
  void sized(int32_t w, int32_t h) override { sizes.emplace_back(w, h); }
  void draw(int32_t, int32_t, int32_t, int32_t) override {
    ++draws;
    setPen(host::Vector(1, 1, 1));
    fillRect(0, 0, width() - 1, height() - 1);
    if (paint) paint(*this);
  }
  bool inputEvent(const host::InputEvent& e) override {
    events.push_back(e);
    if (followDrag) {
      host::MouseState m;
      while (pollMouse(m) && m.held) dragged.emplace_back(m.x, m.y);
      releasedAt = {m.x, m.y};
    }
    if (dragOut) startDrag(host::kDragFilename, dragOut);
    return true;
  }
  bool coreMessage(int32_t id, const host::Settings& msg) override {
    core.push_back({id, msg.getInt64(host::kCoreParam1), msg.getInt64(host::kCoreParam2)});
    return true;
  }
  bool cursorInfo(host::CursorInfo& info) override {
    hovered = {info.x, info.y};
    info.help = "probe";
    return true;
  }
  bool dragReceive(host::DragReceive& d) override {
    // Takes file names over its left half only.
    const bool ok = d.type == host::kDragFilename && d.x < width() / 2;
    d.cursor = ok ? host::kCursorDropCopy : host::kCursorForbidden;
    if (d.finished) drops.emplace_back(d.data, std::make_pair(d.x, d.y));
    return true;
  }
  void timer(const host::Settings&) override { ++ticks; }

  struct Core {
    int32_t id;
    int64_t p1, p2;
  };
  int32_t minWidth = 50, minHeight = 40;
  std::function<void(ProbeArea&)> paint;
  bool followDrag = false;
  const char* dragOut = nullptr;
  int draws = 0, ticks = 0;
  std::vector<std::pair<int32_t, int32_t>> sizes, dragged;
  std::pair<int32_t, int32_t> releasedAt{-1, -1}, hovered{-1, -1};
  std::vector<host::InputEvent> events;
  std::vector<Core> core;
  std::vector<std::pair<std::string, std::pair<int32_t, int32_t>>> drops;
};

// A dialog with tabs: the first holds a scroll group around a probe area, the second a slider.
class AreaDialog : public host::GeDialog {
 public:
  static constexpr int32_t kTabs = 1006, kScroll = 1017, kArea = 1012, kSlider = 1003;
  static constexpr int32_t kSecond = 1020;

  bool createLayout() override {
    setTitle("Areas");
    tabGroupBegin(kTabs, host::kScaleFit);
    groupBegin(1007, host::kScaleFit, 1, 0, "Materials");
    addStaticText(1022, host::kFit, 300, 20, "Layer: ");
    scrollGroupBegin(kScroll, host::kScaleFit, host::kScrollVertical | host::kScrollNoBlit);
    addUserArea(kArea, host::kScaleFit);
    groupEnd();
    groupEnd();
    groupBegin(1008, host::kScaleFit, 1, 0, "Zoom");
    addSlider(kSlider, host::kScaleH, 90);
    addUserArea(kSecond, host::kFit, 100, 60);
    groupEnd();
    groupEnd();
    attachUserArea(area, kArea);
    attachUserArea(second, kSecond);
    return true;
  }
  bool initValues() override { return setReal(kSlider, 0.2, 0.1, 1.0, 0.001, host::kNumberReal); }
  bool command(int32_t id, const host::Settings&) override {
    commands.push_back(id);
    return true;
  }
  bool coreMessage(int32_t id, const host::Settings& msg) override {
    core.emplace_back(id, msg.getInt64(host::kCoreParam1));
    return true;
  }
  void timer(const host::Settings&) override { ++ticks; }

  ProbeArea area, second;
  std::vector<int32_t> commands;
  std::vector<std::pair<int32_t, int64_t>> core;
  int ticks = 0;
};

class UiTest : public PluginHostTest {
 protected:
  hostapp::UiHost& ui() { return host_.uiHost(); }
  // Dark pixels (every channel below 100) inside and outside a rectangle.
  static std::pair<int, int> darkPixels(const hostapp::Canvas& c, const host::UiRect& box) {
    int inside = 0, outside = 0;
    for (int32_t y = 0; y < c.height(); ++y) {
      for (int32_t x = 0; x < c.width(); ++x) {
        const hostapp::Rgba p = c.at(x, y);
        if (p.r >= 100 || p.g >= 100 || p.b >= 100) continue;
        (box.contains(x, y) ? inside : outside)++;
      }
    }
    return {inside, outside};
  }
};

TEST_F(UiTest, LayoutCallsBuildTheWidgetTreeAndGroupsShareTheirRoom) {
  LoaderDialog dlg;
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 1037970, host::kDefaultPosition, host::kDefaultPosition,
                       400, 300));
  Window* w = ui().window(1037970);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(dlg.isOpen());
  EXPECT_EQ(w->title(), "Loader");
  EXPECT_EQ(ui().window("Loader"), w);
  EXPECT_EQ(w->width(), 400);  // content is smaller than the default size

  // Found by id and by text; the titled groups hold their gadgets.
  Widget* file = w->find(LoaderDialog::kFile);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->parent, w->find(10));
  EXPECT_EQ(w->findByText("Texture Tokens"), w->find(11));
  EXPECT_EQ(w->findByText("Close"), w->find(LoaderDialog::kClose));
  EXPECT_EQ(w->findByText("token1"), w->find(3001));
  EXPECT_EQ(w->findByText("nothing"), nullptr);

  // Two columns: each label sits left of its field on the same row, rows go down, and the
  // scaling fields take all the width the labels leave.
  for (int32_t i = 0; i < LoaderDialog::kTokens; ++i) {
    const Widget* label = w->find(3000 + i);
    const Widget* field = w->find(LoaderDialog::kFirstToken + i);
    EXPECT_LT(label->rect.x2, field->rect.x1);
    EXPECT_EQ(label->rect.y1, field->rect.y1);
    EXPECT_EQ(field->rect.x2, w->find(11)->rect.x2 - 4);  // titled frame inset
    if (i > 0) {
      EXPECT_GT(field->rect.y1, w->find(LoaderDialog::kFirstToken + i - 1)->rect.y2);
    }
  }
  // Border space 20 on the left: the first group starts 20 pixels into the outer group.
  EXPECT_EQ(w->find(10)->rect.x1, w->find(20)->rect.x1 + 20);
  EXPECT_EQ(w->find(10)->rect.y1, w->find(20)->rect.y1 + 10);
  // The button row does not scale: buttons keep their natural width, left to right.
  const Widget* run = w->find(LoaderDialog::kRun);
  const Widget* load = w->find(1003);
  EXPECT_LT(run->rect.x2, load->rect.x1);
  EXPECT_LT(load->rect.x2, w->find(LoaderDialog::kClose)->rect.x1);

  const std::string tree = w->describe();
  EXPECT_NE(tree.find("filename 1001 \"Texture\""), std::string::npos) << tree;
  EXPECT_NE(tree.find("checkbox 1005 \"Create New Textures\" = on"), std::string::npos) << tree;
  EXPECT_NE(tree.find("edit 2002 = \"t2\""), std::string::npos) << tree;
}

TEST_F(UiTest, ValuesAreSetReadAndCheckedByKind) {
  LoaderDialog dlg;
  std::string text;
  EXPECT_FALSE(dlg.setString(2000, "x"));  // no window yet
  EXPECT_FALSE(dlg.getString(2000, text));
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 1, 10, 10, 0, 0));

  EXPECT_TRUE(dlg.getString(2001, text));
  EXPECT_EQ(text, "t1");
  bool on = false;
  EXPECT_TRUE(dlg.getBool(LoaderDialog::kCreate, on));
  EXPECT_TRUE(on);
  EXPECT_TRUE(dlg.setFilename(LoaderDialog::kFile, "/tmp/a/b_1001.png"));
  EXPECT_TRUE(dlg.getFilename(LoaderDialog::kFile, text));
  EXPECT_EQ(text, "/tmp/a/b_1001.png");
  // Wrong kinds and unknown ids are refused.
  EXPECT_FALSE(dlg.setBool(2000, true));
  EXPECT_FALSE(dlg.setString(LoaderDialog::kCreate, "yes"));
  EXPECT_FALSE(dlg.getBool(9999, on));
  EXPECT_FALSE(dlg.setReal(2000, 1.0));

  // Values stay readable once the window is closed; the dialog hears about the close once.
  ASSERT_TRUE(dlg.close());
  EXPECT_FALSE(dlg.close());
  EXPECT_FALSE(dlg.isOpen());
  EXPECT_EQ(dlg.destroyed, 1);
  EXPECT_TRUE(dlg.getString(2002, text));
  EXPECT_EQ(text, "t2");

  // Opening again builds a new layout and starts from the dialog's own first values.
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 1, 10, 10, 0, 0));
  EXPECT_EQ(dlg.layouts, 2);
  EXPECT_TRUE(dlg.getFilename(LoaderDialog::kFile, text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(ui().windows().size(), 1u);
  // Opening an open dialog keeps its window.
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 1, 10, 10, 0, 0));
  EXPECT_EQ(dlg.layouts, 2);
}

TEST_F(UiTest, ScriptedUserClicksTypesAndTicksAndTheDialogGetsCommands) {
  LoaderDialog dlg;
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 7, 0, 0, 0, 0));
  Window* w = ui().windowOf(dlg);
  ASSERT_NE(w, nullptr);

  EXPECT_TRUE(w->setText(2001, "bump"));
  EXPECT_TRUE(w->setFilename(LoaderDialog::kFile, "/data/wall_1001_color.png"));
  EXPECT_TRUE(w->click("Create New Textures"));  // a check box toggles
  EXPECT_TRUE(w->click("Setup Selected"));
  EXPECT_EQ(dlg.commands, (std::vector<int32_t>{2001, LoaderDialog::kFile, LoaderDialog::kCreate,
                                                LoaderDialog::kRun}));
  EXPECT_EQ(dlg.fileAtRun, "/data/wall_1001_color.png");
  std::string token;
  dlg.getString(2001, token);
  EXPECT_EQ(token, "bump");
  bool on = true;
  dlg.getBool(LoaderDialog::kCreate, on);
  EXPECT_FALSE(on);

  // Disabled gadgets, unknown texts and non-buttons take no clicks.
  dlg.enable(1003, false);
  EXPECT_FALSE(w->click("Load Textures"));
  EXPECT_FALSE(w->click("No Such Button"));
  EXPECT_FALSE(w->click("token0"));
  EXPECT_FALSE(w->setText(LoaderDialog::kRun, "text on a button"));
  EXPECT_EQ(dlg.commands.size(), 4u);

  // The dialog's own Close button closes the window; a closed window takes no clicks.
  EXPECT_TRUE(w->click("Close"));
  EXPECT_FALSE(dlg.isOpen());
  EXPECT_FALSE(w->click("Setup Selected"));
}

TEST_F(UiTest, ModalDialogReturnsWhatTheUserConfirmed) {
  NameDialog ok;
  ui().queueModal([](Window& w) {
    EXPECT_TRUE(w.isOpen());
    EXPECT_TRUE(w.setText(1000, "Bump Detail"));
    EXPECT_TRUE(w.click("OK"));
  });
  ASSERT_TRUE(ok.open(1037929, 40, 50, 100, 50));
  EXPECT_EQ(ok.name, "Bump Detail");
  EXPECT_FALSE(ok.isOpen());

  NameDialog cancel;
  ui().queueModal([](Window& w) { EXPECT_TRUE(w.click("Cancel")); });
  ASSERT_TRUE(cancel.open(1037929, 40, 50, 100, 50));
  EXPECT_EQ(cancel.name, "");

  // Without an answer the user closes the window at once: the name stays as first shown.
  NameDialog closed;
  ASSERT_TRUE(closed.open(1037929, 40, 50, 100, 50));
  EXPECT_EQ(closed.name, "New Layer");
  EXPECT_FALSE(closed.isOpen());

  // The layout of the window: the scaling field takes the room the buttons leave.
  ui().queueModal([](Window& w) {
    const Widget* field = w.find(1000);
    const Widget* okButton = w.find(1001);
    const Widget* cancelButton = w.find(1002);
    EXPECT_LT(field->rect.x2, okButton->rect.x1);
    EXPECT_LT(okButton->rect.x2, cancelButton->rect.x1);
    EXPECT_EQ(cancelButton->rect.x2, w.find(5)->rect.x2);
    EXPECT_GE(field->rect.width(), 200);
    EXPECT_EQ(w.x(), 40);
    EXPECT_EQ(w.y(), 50);
  });
  NameDialog laidOut;
  ASSERT_TRUE(laidOut.open(1037929, 40, 50, 400, 50));
}

TEST_F(UiTest, PopupMenusAnswerTheQueuedPicks) {
  host::PopupMenu layers;
  layers.setItem(3000, "Background&c&");
  layers.setItem(3001, "Paint");
  layers.setItem(3000, "Background");  // same id: replaced in place
  host::PopupMenu menu;
  menu.setItem(1036239, "Paint All");
  menu.addSeparator();
  menu.setItem(1037966, "Delete");
  menu.addSubmenu(1037982, "Hide/Show Layer", layers);
  menu.addSubmenu(1037936, "View Channel", host::PopupMenu());  // empty: not shown
  ASSERT_EQ(menu.entries().size(), 4u);
  ASSERT_EQ(menu.entries()[3].children.size(), 2u);
  EXPECT_EQ(menu.entries()[3].children[0].text, "Background");

  ui().queueMenuPick("Hide/Show Layer/Paint");
  ui().queueMenuPick("Delete");
  ui().queueMenuPick(1036239);
  ui().queueMenuPick("Rename");
  EXPECT_EQ(host::showPopupMenu(menu, 300, 200, host::kPopupContext), 3001);
  EXPECT_EQ(host::showPopupMenu(menu, 0, 0, host::kPopupContext), 1037966);
  EXPECT_EQ(host::showPopupMenu(menu, 0, 0, host::kPopupContext), 1036239);
  EXPECT_EQ(host::showPopupMenu(menu, 0, 0, host::kPopupContext), host::kMenuDismissed);
  EXPECT_EQ(host::showPopupMenu(menu, 0, 0, host::kPopupContext), host::kMenuDismissed);
  ASSERT_EQ(ui().menus().size(), 5u);
  EXPECT_EQ(ui().menus()[0].x, 300);
  EXPECT_EQ(ui().menus()[0].y, 200);
  EXPECT_EQ(ui().menus()[0].flags, 0x42);
  ASSERT_EQ(ui().scriptErrors().size(), 1u);
  EXPECT_NE(ui().scriptErrors()[0].find("Rename"), std::string::npos);

  // A check mark is part of the text but not of what the user reads.
  host::PopupMenu ticked;
  ticked.setItem(3005, "Wireframe&c&");
  ui().queueMenuPick("Wireframe");
  EXPECT_EQ(host::showPopupMenu(ticked, 0, 0, host::kPopupContext), 3005);
}

TEST_F(UiTest, MessageBoxesTakeTheQueuedAnswers) {
  ui().queueAnswer(host::kAnswerYes);
  EXPECT_EQ(host::messageBox("Delete all texture tags?", host::kMessageYesNo), 6);
  EXPECT_EQ(host::messageBox("Delete all texture tags?", host::kMessageYesNo), host::kAnswerNo);
  EXPECT_EQ(host::messageBox("Done.", host::kMessageInfo), host::kAnswerOk);
  ASSERT_EQ(ui().messages().size(), 3u);
  EXPECT_EQ(ui().messages()[0].text, "Delete all texture tags?");
  EXPECT_EQ(ui().messages()[0].type, 52);
  EXPECT_EQ(ui().messages()[1].answer, 7);

  EXPECT_TRUE(host::showFile("/stamps/a.png"));
  ASSERT_EQ(ui().shownFiles().size(), 1u);
}

TEST_F(UiTest, UserAreasGetSizesScrollAndTheVisiblePart) {
  AreaDialog dlg;
  dlg.area.minHeight = 1000;  // taller than the window: the scroll group scrolls
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 1035527, -1, -1, 300, 200));
  Window* w = ui().windowOf(dlg);
  ASSERT_NE(w, nullptr);
  const Widget* scroll = w->find(AreaDialog::kScroll);
  ASSERT_FALSE(dlg.area.sizes.empty());
  // The area fills the view's width and has the height it asked for.
  EXPECT_EQ(dlg.area.width(), scroll->rect.width());
  EXPECT_EQ(dlg.area.height(), 1000);
  EXPECT_EQ(dlg.area.sizes.back(), std::make_pair(scroll->rect.width(), 1000));
  EXPECT_GT(dlg.area.draws, 0);
  EXPECT_EQ(dlg.area.dialog(), &dlg);

  host::UiRect visible;
  ASSERT_TRUE(dlg.visibleArea(AreaDialog::kScroll, visible));
  EXPECT_EQ(visible.y1, 0);
  EXPECT_EQ(visible.height(), scroll->rect.height());
  ASSERT_TRUE(w->scrollTo(AreaDialog::kScroll, 0, 300));
  ASSERT_TRUE(dlg.visibleArea(AreaDialog::kScroll, visible));
  EXPECT_EQ(visible.y1, 300);
  EXPECT_EQ(visible.y2, 300 + scroll->rect.height() - 1);
  // Scrolling past the end stops at the end.
  ASSERT_TRUE(w->scrollTo(AreaDialog::kScroll, 0, 5000));
  ASSERT_TRUE(dlg.visibleArea(AreaDialog::kScroll, visible));
  EXPECT_EQ(visible.y2, 999);
  EXPECT_FALSE(dlg.visibleArea(AreaDialog::kArea, visible));

  // A smaller minimum size, told to the host, lays the window out again.
  dlg.area.minHeight = 50;
  dlg.area.layoutChanged();
  ui().settle();
  EXPECT_EQ(dlg.area.height(), scroll->rect.height());

  // Tabs: the second tab's gadgets are hidden until it is picked.
  EXPECT_FALSE(w->setNumber(AreaDialog::kSlider, 0.5));
  EXPECT_TRUE(w->selectTab("Zoom"));
  EXPECT_TRUE(w->setNumber(AreaDialog::kSlider, 5.0));  // beyond the range: clamped
  double zoom = 0;
  ASSERT_TRUE(dlg.getReal(AreaDialog::kSlider, zoom));
  EXPECT_DOUBLE_EQ(zoom, 1.0);
  EXPECT_EQ(dlg.commands, (std::vector<int32_t>{AreaDialog::kTabs, AreaDialog::kSlider}));
  EXPECT_FALSE(w->mouseClick(AreaDialog::kArea, 5, 5));  // hidden with its tab

  // Screen coordinates: the window's position, its title bar, the area's place in it.
  int32_t x = 0, y = 0;
  ASSERT_TRUE(dlg.second.localToScreen(x, y));
  const Widget* second = w->find(AreaDialog::kSecond);
  int32_t dx = 0, dy = 0;
  ASSERT_TRUE(dlg.localToScreen(dx, dy));
  EXPECT_EQ(x, dx + second->rect.x1);
  EXPECT_EQ(y, dy + second->rect.y1);
  EXPECT_EQ(dx, w->x());
  EXPECT_GT(dy, w->y());
}

TEST_F(UiTest, MouseInputCarriesQualifiersDoubleClicksAndDrags) {
  AreaDialog dlg;
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 5, 0, 0, 300, 300));
  Window* w = ui().windowOf(dlg);
  ProbeArea& a = dlg.area;

  ASSERT_TRUE(w->mouseClick(AreaDialog::kArea, 12, 34, host::kMouseRight, host::kQualCtrl));
  ASSERT_EQ(a.events.size(), 1u);
  EXPECT_EQ(a.events[0].device, host::kDeviceMouse);
  EXPECT_EQ(a.events[0].channel, host::kMouseRight);
  EXPECT_EQ(a.events[0].x, 12);
  EXPECT_EQ(a.events[0].y, 34);
  EXPECT_EQ(a.events[0].qualifiers, 2);
  EXPECT_FALSE(a.events[0].doubleClick);

  // A double click is a click and then a press flagged as double.
  ASSERT_TRUE(w->mouseDoubleClick(AreaDialog::kArea, 7, 8, host::kQualShift | host::kQualAlt));
  ASSERT_EQ(a.events.size(), 3u);
  EXPECT_FALSE(a.events[1].doubleClick);
  EXPECT_TRUE(a.events[2].doubleClick);
  EXPECT_EQ(a.events[2].qualifiers, 5);

  // A drag: the area polls the moves in order, then the release at the last point.
  a.followDrag = true;
  ASSERT_TRUE(w->mouseDrag(AreaDialog::kArea, {{10, 10}, {11, 12}, {20, 12}, {25, 30}}));
  EXPECT_EQ(a.events.back().x, 10);
  EXPECT_EQ(a.dragged, (std::vector<std::pair<int32_t, int32_t>>{{11, 12}, {20, 12}, {25, 30}}));
  EXPECT_EQ(a.releasedAt, std::make_pair(25, 30));
  // A click polls as released at once, where it was pressed.
  a.dragged.clear();
  ASSERT_TRUE(w->mouseClick(AreaDialog::kArea, 3, 4));
  EXPECT_TRUE(a.dragged.empty());
  EXPECT_EQ(a.releasedAt, std::make_pair(3, 4));

  host::CursorInfo info;
  ASSERT_TRUE(w->mouseMove(AreaDialog::kArea, 40, 41, &info));
  EXPECT_EQ(a.hovered, std::make_pair(40, 41));
  EXPECT_EQ(info.help, "probe");

  ASSERT_TRUE(w->keyPress(AreaDialog::kArea, 'a'));
  EXPECT_EQ(a.events.back().device, host::kDeviceKeyboard);
  EXPECT_EQ(a.events.back().key, 'a');
  EXPECT_FALSE(w->mouseClick(4242, 1, 1));  // no such area
}

TEST_F(UiTest, FilesDropOnAreasWhereTheyAreTaken) {
  AreaDialog dlg;
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 5, 0, 0, 300, 300));
  Window* w = ui().windowOf(dlg);
  ProbeArea& a = dlg.area;
  const int32_t half = a.width() / 2;

  EXPECT_EQ(w->dropFile(AreaDialog::kArea, half - 5, 9, "/stamps/rock.png"), 19);
  ASSERT_EQ(a.drops.size(), 1u);
  EXPECT_EQ(a.drops[0].first, "/stamps/rock.png");
  EXPECT_EQ(a.drops[0].second, std::make_pair(half - 5, 9));
  // Where the area shows the forbidden cursor nothing is dropped.
  EXPECT_EQ(w->dropFile(AreaDialog::kArea, half + 5, 9, "/stamps/rock.png"), 8);
  EXPECT_EQ(w->drop(AreaDialog::kArea, 1, 1, host::kDragMaterials, ""), host::kCursorForbidden);
  EXPECT_EQ(a.drops.size(), 1u);

  // A drag started by one area (a click on a cell) lands on another.
  ASSERT_TRUE(w->selectTab("Zoom"));
  dlg.second.dragOut = "/stamps/sand.png";
  ASSERT_TRUE(w->mouseClick(AreaDialog::kSecond, 5, 5));
  ASSERT_NE(ui().pendingDrag(), nullptr);
  EXPECT_EQ(ui().pendingDrag()->type, host::kDragFilename);
  ASSERT_TRUE(w->selectTab("Materials"));
  EXPECT_EQ(ui().dropPending(*w, AreaDialog::kArea, 2, 3), host::kCursorDropCopy);
  ASSERT_EQ(a.drops.size(), 2u);
  EXPECT_EQ(a.drops[1].first, "/stamps/sand.png");
  EXPECT_EQ(ui().pendingDrag(), nullptr);
}

TEST_F(UiTest, AreasDrawRectanglesLinesBitmapsAndText) {
  AreaDialog dlg;
  dlg.area.paint = [](ProbeArea& a) {
    a.setPen(host::Vector(1, 0, 0));
    a.fillRect(2, 3, 5, 4);  // inclusive: 4 x 2 pixels
    a.setPen(host::kColorHighlight);
    a.drawLine(0, 20, 9, 29);
    a.setTextColor(host::Vector(0, 0, 0), host::Vector(1, 1, 1));
    a.drawText("Hello Pigmora", 10, 40);
  };
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 5, 0, 0, 300, 300));
  Window* w = ui().windowOf(dlg);
  const hostapp::Canvas* pic = w->areaPicture(AreaDialog::kArea);
  ASSERT_NE(pic, nullptr);

  const hostapp::Rgba red{255, 0, 0, 255}, white{255, 255, 255, 255};
  EXPECT_EQ(pic->at(2, 3), red);
  EXPECT_EQ(pic->at(5, 4), red);
  EXPECT_EQ(pic->at(6, 4), white);
  EXPECT_EQ(pic->at(2, 5), white);
  // The highlight colour by id, on both ends of a diagonal.
  const host::Vector hl = dlg.area.colorOf(host::kColorHighlight);
  const hostapp::Rgba hlPixel = pic->at(0, 20);
  EXPECT_NEAR(hlPixel.r / 255.0, hl.x, 0.01);
  EXPECT_EQ(pic->at(9, 29), hlPixel);
  EXPECT_EQ(pic->at(5, 25), hlPixel);
  EXPECT_EQ(pic->at(5, 24), white);

  // Text in the real font: dark pixels only inside the box the metrics give, and plenty of them.
  const int32_t tw = dlg.area.textWidth("Hello Pigmora");
  const int32_t th = dlg.area.textHeight();
  EXPECT_GT(tw, dlg.area.textWidth("Hello"));
  EXPECT_GT(th, 8);
  EXPECT_LT(th, 30);
  const auto [inside, outside] = darkPixels(*pic, {10, 40, 10 + tw - 1, 40 + th - 1});
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);

  // Centred and right-aligned text lands on the other side of x.
  dlg.area.paint = [](ProbeArea& a) {
    a.setTextColor(host::Vector(0, 0, 0), host::Vector(1, 1, 1));
    a.drawText("Right", 100, 10, host::kTextRight);
  };
  dlg.area.redraw();
  pic = w->areaPicture(AreaDialog::kArea);
  const int32_t rw = dlg.area.textWidth("Right");
  const auto [rightIn, rightOut] = darkPixels(*pic, {100 - rw, 10, 99, 10 + th - 1});
  EXPECT_GT(rightIn, 10);
  EXPECT_EQ(rightOut, 0);
}

TEST_F(UiTest, BitmapsAreScaledIntoTheirRectangle) {
  auto bmp = host::api().paint().createBitmap();
  ASSERT_TRUE(bmp && bmp->init(2, 2, 32));
  bmp->setPixel(0, 0, 255, 0, 0);
  bmp->setPixel(1, 0, 0, 255, 0);
  bmp->setPixel(0, 1, 0, 0, 255);
  bmp->setPixel(1, 1, 10, 20, 30);
  bmp->setAlpha(1, 1, 0);  // see-through with alpha blending
  AreaDialog dlg;
  dlg.area.paint = [&](ProbeArea& a) {
    a.drawBitmap(*bmp, 10, 10, 4, 4);
    a.drawBitmap(*bmp, 20, 10, 4, 4, host::kBlitAlpha);
  };
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 5, 0, 0, 300, 300));
  const hostapp::Canvas* pic = ui().windowOf(dlg)->areaPicture(AreaDialog::kArea);
  ASSERT_NE(pic, nullptr);
  // Each source pixel covers 2 x 2 target pixels.
  EXPECT_EQ(pic->at(10, 10), (hostapp::Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pic->at(11, 11), (hostapp::Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pic->at(12, 10), (hostapp::Rgba{0, 255, 0, 255}));
  EXPECT_EQ(pic->at(10, 13), (hostapp::Rgba{0, 0, 255, 255}));
  EXPECT_EQ(pic->at(13, 13), (hostapp::Rgba{10, 20, 30, 255}));     // copied, alpha ignored
  EXPECT_EQ(pic->at(14, 10), (hostapp::Rgba{255, 255, 255, 255}));  // outside the rectangle
  EXPECT_EQ(pic->at(23, 13), (hostapp::Rgba{255, 255, 255, 255}));  // alpha 0 keeps white
  EXPECT_EQ(pic->at(20, 10), (hostapp::Rgba{255, 0, 0, 255}));
}

TEST_F(UiTest, SpecialEventsAndChangeMessagesReachOpenDialogsAndAreas) {
  AreaDialog open;
  AreaDialog closed;
  ASSERT_TRUE(open.open(host::kDialogAsync, 5, 0, 0, 200, 200));
  ASSERT_TRUE(closed.open(host::kDialogAsync, 6, 0, 0, 200, 200));
  ASSERT_TRUE(closed.close());

  // Events wait until the code that posted them has returned, as from an event loop; two equal
  // change messages waiting together arrive once.
  host::api().events().special(1037988, 1, 0);
  host::api().events().update();
  host::api().events().update();
  EXPECT_TRUE(open.core.empty());
  ui().settle();
  ASSERT_EQ(open.core.size(), 2u);
  EXPECT_EQ(open.core[0], std::make_pair(1037988, int64_t{1}));
  EXPECT_EQ(open.core[1].first, 604);
  ASSERT_EQ(open.area.core.size(), 2u);
  EXPECT_EQ(open.area.core[0].id, 1037988);
  EXPECT_EQ(open.area.core[0].p1, 1);
  EXPECT_EQ(open.second.core.size(), 2u);
  EXPECT_TRUE(closed.core.empty());
  EXPECT_TRUE(closed.area.core.empty());
  // A redraw of the views reaches them as the views' change message; one sent now arrives now.
  host::api().events().drawViews(host::kDrawFlagsFull);
  ui().coreMessage(host::kCoreObjectsChanged);
  ui().settle();
  ASSERT_EQ(open.core.size(), 4u);
  EXPECT_EQ(open.core[2].first, host::kCoreObjectsChanged);
  EXPECT_EQ(open.core[3].first, host::kCoreViewsChanged);

  // Timers run for every full interval.
  open.setTimer(100);
  open.area.setTimer(40);
  ui().advance(250);
  EXPECT_EQ(open.ticks, 2);
  EXPECT_EQ(open.area.ticks, 6);
}

TEST_F(UiTest, WindowsGoWithTheirDialogsAndTheHost) {
  auto* dlg = new AreaDialog;
  ASSERT_TRUE(dlg->open(host::kDialogAsync, 5, 0, 0, 200, 200));
  Window* w = ui().windowOf(*dlg);
  ASSERT_NE(w, nullptr);
  delete dlg;  // its areas first, then the dialog: the window goes, nothing dangles
  EXPECT_FALSE(ui().contains(w));
  EXPECT_TRUE(ui().windows().empty());

  // An area that outlives its dialog's window is simply unbound.
  ProbeArea loose;
  {
    struct Holder : host::GeDialog {
      explicit Holder(ProbeArea& a) : area(a) {}
      bool createLayout() override {
        addUserArea(1, host::kScaleFit, 40, 40);
        return attachUserArea(area, 1);
      }
      ProbeArea& area;
    } holder(loose);
    ASSERT_TRUE(holder.open(host::kDialogAsync, 9, 0, 0, 100, 100));
    EXPECT_GT(loose.width(), 0);
  }
  EXPECT_EQ(loose.port(), nullptr);
  EXPECT_EQ(loose.width(), 0);
  loose.redraw();  // harmless without a window

  // A dialog that refuses its layout gets no window; nor does an unknown dialog type.
  struct Refusing : host::GeDialog {
    bool createLayout() override { return false; }
  } refusing;
  EXPECT_FALSE(refusing.open(host::kDialogAsync, 11, 0, 0, 10, 10));
  LoaderDialog loader;
  EXPECT_FALSE(loader.open(99, 12, 0, 0, 10, 10));
  EXPECT_TRUE(ui().windows().empty());

  // A dialog may refuse the user's close; the plug-in going away closes every window.
  struct Sticky : LoaderDialog {
    bool askClose() override { return true; }
  } sticky;
  ASSERT_TRUE(sticky.open(host::kDialogAsync, 13, 0, 0, 0, 0));
  EXPECT_FALSE(ui().windowOf(sticky)->closeByUser());
  EXPECT_TRUE(sticky.isOpen());
  host_.unload();
  EXPECT_EQ(sticky.destroyed, 1);
  EXPECT_FALSE(sticky.isOpen());
}

TEST_F(UiTest, SubDialogsKeepTheirOwnGadgets) {
  struct Inner : host::SubDialog {
    bool createLayout() override {
      groupBegin(0, host::kFitH, 2, 0);
      addStaticText(1, 0, 0, 0, "Inner");
      addButton(2, 0, 0, 0, "Apply");
      return groupEnd();
    }
    bool command(int32_t id, const host::Settings&) override {
      commands.push_back(id);
      return true;
    }
    std::vector<int32_t> commands;
  };
  struct Outer : host::GeDialog {
    bool createLayout() override {
      addButton(2, 0, 0, 0, "Outer Apply");
      addSubDialog(50, host::kScaleH, 0, 0);
      return attachSubDialog(inner, 50);
    }
    bool command(int32_t id, const host::Settings&) override {
      commands.push_back(id);
      return true;
    }
    Inner inner;
    std::vector<int32_t> commands;
  } outer;
  ASSERT_TRUE(outer.open(host::kDialogAsync, 14, 0, 0, 200, 100));
  Window* w = ui().windowOf(outer);
  ASSERT_TRUE(w->click("Apply"));
  ASSERT_TRUE(w->click("Outer Apply"));
  EXPECT_EQ(outer.inner.commands, std::vector<int32_t>{2});
  EXPECT_EQ(outer.commands, std::vector<int32_t>{2});
  std::string text;
  EXPECT_TRUE(outer.inner.getString(1, text));
  EXPECT_EQ(text, "Inner");
  EXPECT_FALSE(outer.getString(1, text));  // not the outer dialog's gadget
  // The sub-dialog sits below the outer button.
  EXPECT_GT(w->findByText("Inner")->rect.y1, w->findByText("Outer Apply")->rect.y2);
}

TEST_F(UiTest, WindowsRenderToReadablePictures) {
  LoaderDialog dlg;
  ASSERT_TRUE(dlg.open(host::kDialogAsync, 3, 0, 0, 360, 0));
  Window* w = ui().windowOf(dlg);
  const hostapp::Canvas pic = w->render();
  EXPECT_EQ(pic.width(), w->width());
  EXPECT_EQ(pic.height(), w->height());
  EXPECT_EQ(pic.width(), 360);

  // The button's caption is drawn inside the button in the text colour.
  const Widget* button = w->find(LoaderDialog::kClose);
  const int32_t bar = w->contentScreenY() - w->y();
  int bright = 0;
  for (int32_t y = button->rect.y1; y <= button->rect.y2; ++y) {
    for (int32_t x = button->rect.x1; x <= button->rect.x2; ++x) {
      if (pic.at(x, y + bar).r > 180) ++bright;
    }
  }
  EXPECT_GT(bright, 10);

  const std::string path =
      (std::filesystem::path(PIGMORA_FIXTURE_DIR) / "ui_loader_dialog.png").string();
  std::string error;
  ASSERT_TRUE(w->savePicture(path, error)) << error;
  auto in = OIIO::ImageInput::open(path);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->spec().width, pic.width());
  EXPECT_EQ(in->spec().height, pic.height());
  std::vector<uint8_t> back(static_cast<size_t>(pic.width()) * pic.height() * 4);
  ASSERT_TRUE(in->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT8, back.data()));
  EXPECT_EQ(back, pic.pixels());
  in->close();

  // Tabs, a scroll group and a user area with text render as well.
  AreaDialog areas;
  areas.area.minHeight = 600;
  areas.area.paint = [](ProbeArea& a) {
    a.setTextColor(host::kColorText, host::kColorBackground);
    a.setPen(host::kColorBackground);
    a.fillRect(0, 0, a.width() - 1, a.height() - 1);
    for (int32_t row = 0; row < 20; ++row)
      a.drawText("Cell " + std::to_string(row), 8, 8 + row * 30);
  };
  ASSERT_TRUE(areas.open(host::kDialogAsync, 4, 0, 0, 320, 240));
  Window* aw = ui().windowOf(areas);
  ASSERT_TRUE(aw->scrollTo(AreaDialog::kScroll, 0, 90));
  const std::string areaPath =
      (std::filesystem::path(PIGMORA_FIXTURE_DIR) / "ui_area_dialog.png").string();
  ASSERT_TRUE(aw->savePicture(areaPath, error)) << error;
  EXPECT_EQ(aw->render().height(), aw->height());

  EXPECT_FALSE(w->savePicture("/nonexistent-folder/x.png", error));
  EXPECT_NE(error.find("/nonexistent-folder/x.png"), std::string::npos);
}

}  // namespace
