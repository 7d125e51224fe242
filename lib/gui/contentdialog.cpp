#include "lib/gui/contentdialog.h"

#include <string>

namespace pigmora {

namespace {

constexpr int32_t kScrollFlags = host::kScrollVertical | host::kGroupNoGapV | host::kScrollNoBlit;

// The library tabs in the order they are shown, with their gadgets.
struct LibraryTab {
  const char* title;
  int32_t group, scroll, area;
  const char* library;
};
constexpr LibraryTab kLibraryTabs[] = {
    {"Body Paint", 1012, 1031, 1022, "BodyPaint 3D.lib4d"},
    {"Broadcast", 1013, 1032, 1023, "Broadcast.lib4d"},
    {"Prime", 1014, 1033, 1024, "Prime.lib4d"},
    {"Sculpting", 1015, 1034, 1025, "Sculpting.lib4d"},
    {"Studio", 1016, 1035, 1026, "Studio.lib4d"},
    {"Visualize", 1017, 1036, 1027, "Visualize.lib4d"},
};

}  // namespace

ContentDialog::ContentDialog()
    : ViewDialogBase(false),
      areas_{TexturesViewArea(kTexturesStamps),
             TexturesViewArea(kTexturesStencils),
             TexturesViewArea(kTexturesLibrary, "Sculpting.lib4d"),
             TexturesViewArea(kTexturesLibrary, "Broadcast.lib4d"),
             TexturesViewArea(kTexturesLibrary, "Prime.lib4d"),
             TexturesViewArea(kTexturesLibrary, "BodyPaint 3D.lib4d"),
             TexturesViewArea(kTexturesLibrary, "Studio.lib4d"),
             TexturesViewArea(kTexturesLibrary, "Visualize.lib4d")} {
  title_ = "Pigmora Content View";
}

TexturesViewArea* ContentDialog::libraryArea(const std::string& library) {
  for (TexturesViewArea& a : areas_)
    if (a.kind() == kTexturesLibrary && a.library() == library) return &a;
  return nullptr;
}

bool ContentDialog::createContent() {
  // One tab: a scroll group holding one user area.
  auto tab = [this](int32_t group, const char* title, int32_t scroll, int32_t area) {
    groupBegin(group, host::kScaleFit, 1, 0, title);
    scrollGroupBegin(scroll, host::kScaleFit, kScrollFlags);
    addUserArea(area, host::kScaleFit);
    groupEnd();
    groupEnd();
  };
  tabGroupBegin(kContentTabs, host::kScaleFit);
  groupBegin(kContentLibrariesTab, host::kScaleFit, 1, 0, "Content Browser");
  tabGroupBegin(kContentLibraryTabs, host::kScaleFit);
  for (const LibraryTab& t : kLibraryTabs) tab(t.group, t.title, t.scroll, t.area);
  groupEnd();
  groupEnd();
  tab(kContentStampsTab, "Stamps", kContentStampsScroll, kContentStampsArea);
  tab(kContentStencilsTab, "Stencils", kContentStencilsScroll, kContentStencilsArea);
  tab(kContentMegascansTab, "Megascans", kContentMegascansScroll, kContentMegascansArea);
  groupEnd();
  return true;
}

void ContentDialog::attachAreas() {
  for (const LibraryTab& t : kLibraryTabs) {
    TexturesViewArea* a = libraryArea(t.library);
    a->bind(this, t.scroll);
    attachUserArea(*a, t.area);
  }
  stamps().bind(this, kContentStampsScroll);
  attachUserArea(stamps(), kContentStampsArea);
  stencils().bind(this, kContentStencilsScroll);
  attachUserArea(stencils(), kContentStencilsArea);
  megascans_.bind(this, kContentMegascansScroll);
  attachUserArea(megascans_, kContentMegascansArea);
}

void ContentDialog::setCellSize(int32_t size) {
  for (TexturesViewArea& a : areas_) a.setCellSize(size);
  megascans_.setCellSize(size);
}

void ContentDialog::rebuild(int32_t reason) {
  (void)reason;
  megascans_.redraw();
}

void ContentDialog::refresh() {
  megascans_.refresh();
}

}  // namespace pigmora
