// The frame of the plug-in's view windows: an optional side menu panel, a scrolling content
// column filled by the subclass, and a zoom slider under it that sets the cell size of the
// areas. Subclasses fill the hooks.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "lib/gui/menuarea.h"
#include "lib/gui/viewarea.h"

namespace pigmora {

// Gadget ids of the frame.
constexpr int32_t kViewMenuArea = 1000;
constexpr int32_t kViewMenuScroll = 1001;
constexpr int32_t kViewContentScroll = 1002;
constexpr int32_t kViewZoomSlider = 1003;
constexpr int32_t kViewDefaultArea = 1004;

// Cell size in pixels of a zoom slider value (0.1 .. 1.0).
constexpr int32_t cellSizeOfZoom(double zoom) {
  return static_cast<int32_t>(zoom * 512);
}

class ViewDialogBase : public host::GeDialog {
 public:
  explicit ViewDialogBase(bool hasMenuPanel);
  ~ViewDialogBase() override = default;

  bool createLayout() override;
  bool initValues() override;
  bool coreMessage(int32_t id, const host::Settings& msg) override;
  bool command(int32_t id, const host::Settings& msg) override;

  // Builds the gadgets inside the content scroll group 1002.
  virtual bool createContent();
  // Binds and attaches the areas once the layout is complete.
  virtual void attachAreas();
  virtual void setCellSize(int32_t size);
  // Fills the menu panel; runs once per dialog.
  virtual void buildMenus();
  virtual void rebuild(int32_t reason);
  // An entry of the menu panel was clicked.
  virtual void menuCommand(int32_t id);
  // Told after a menu command ran.
  virtual void menuCommandDone(int32_t id) { (void)id; }
  // Brings the areas up to date without building them again.
  virtual void refresh();

  const std::string& title() const { return title_; }
  MenuArea& menuArea() { return menuArea_; }
  bool hasMenuPanel() const { return hasMenuPanel_; }
  int32_t lastMenuCommand() const { return lastMenuCommand_; }

 protected:
  ViewAreaBase defaultArea_;
  MenuArea menuArea_;
  int32_t menusBuilt_ = 0;
  int32_t lastMenuCommand_ = 0;
  std::string title_ = "View";
  bool scrollContent_ = true;
  bool hasMenuPanel_;
};

}  // namespace pigmora
