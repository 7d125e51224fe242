#include "lib/gui/viewdialog.h"

namespace pigmora {

namespace {
constexpr double kZoomStart = 0.2, kZoomMin = 0.1, kZoomMax = 1.0, kZoomStep = 0.001;
constexpr int32_t kZoomWidth = 90;
// Scroll groups of the frame: up and down, children without a gap, redrawn rather than copied.
constexpr int32_t kScrollFlags = host::kScrollVertical | host::kGroupNoGapV | host::kScrollNoBlit;
}  // namespace

ViewDialogBase::ViewDialogBase(bool hasMenuPanel) : hasMenuPanel_(hasMenuPanel) {}

bool ViewDialogBase::createLayout() {
  setTitle(title_);
  groupBegin(0, host::kScaleFit, 3, 0);
  if (hasMenuPanel_) {
    groupBegin(0, host::kFitH | host::kScaleV, 1, 0);
    scrollGroupBegin(kViewMenuScroll, host::kScaleFit, kScrollFlags);
    addUserArea(kViewMenuArea, host::kScaleFit);
    groupEnd();
    groupEnd();
  }
  groupBegin(0, host::kScaleFit, 1, 0);
  scrollGroupBegin(kViewContentScroll, host::kScaleFit,
                   scrollContent_ ? kScrollFlags : host::kGroupNoGapV | host::kScrollNoBlit);
  const bool content = createContent();
  groupEnd();
  addSlider(kViewZoomSlider, host::kScaleH, kZoomWidth, 0);
  groupEnd();
  groupEnd();
  if (!content) return false;
  attachAreas();
  if (hasMenuPanel_) {
    menuArea_.bind(this, kViewMenuScroll);
    attachUserArea(menuArea_, kViewMenuArea);
  }
  return true;
}

bool ViewDialogBase::initValues() {
  setReal(kViewZoomSlider, kZoomStart, kZoomMin, kZoomMax, kZoomStep, host::kNumberReal);
  setCellSize(cellSizeOfZoom(kZoomStart));
  if (hasMenuPanel_) buildMenus();
  return true;
}

bool ViewDialogBase::command(int32_t id, const host::Settings& msg) {
  (void)msg;
  if (id != kViewZoomSlider) return true;
  double zoom = kZoomStart;
  if (getReal(kViewZoomSlider, zoom)) setCellSize(cellSizeOfZoom(zoom));
  return true;
}

bool ViewDialogBase::coreMessage(int32_t id, const host::Settings& msg) {
  (void)msg;
  if (id == host::kCoreDocumentChanged || id == host::kCoreMaterialsChanged) rebuild(id);
  return true;
}

bool ViewDialogBase::createContent() {
  return addUserArea(kViewDefaultArea, host::kScaleFit);
}

void ViewDialogBase::attachAreas() {
  defaultArea_.bind(this, kViewContentScroll);
  attachUserArea(defaultArea_, kViewDefaultArea);
}

void ViewDialogBase::setCellSize(int32_t size) {
  defaultArea_.setCellSize(size);
}

void ViewDialogBase::buildMenus() {
  menusBuilt_ = 1;
}

void ViewDialogBase::rebuild(int32_t reason) {
  (void)reason;
  defaultArea_.refresh();
  defaultArea_.redraw();
}

void ViewDialogBase::menuCommand(int32_t id) {
  lastMenuCommand_ = id;
}

void ViewDialogBase::refresh() {
  defaultArea_.refresh();
  defaultArea_.redraw();
}

}  // namespace pigmora
