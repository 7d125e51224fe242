// The content browser, "Pigmora Content View": tabs of image grids from the host's content
// libraries, the stamp folder, the stencil folder and the Megascans library. A cell's image
// becomes the brush stamp or stencil, or is dragged onto a material cell.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "lib/gui/megascanviewarea.h"
#include "lib/gui/texturesviewarea.h"
#include "lib/gui/viewdialog.h"

namespace pigmora {

constexpr int32_t kContentViewId = 1037991;

// Gadgets of the content column.
constexpr int32_t kContentTabs = 1006;
constexpr int32_t kContentStampsTab = 1008;
constexpr int32_t kContentStencilsTab = 1009;
constexpr int32_t kContentLibrariesTab = 1010;
constexpr int32_t kContentLibraryTabs = 1011;
constexpr int32_t kContentMegascansTab = 1018;
constexpr int32_t kContentStampsArea = 1020;
constexpr int32_t kContentStencilsArea = 1021;
constexpr int32_t kContentMegascansArea = 1028;
constexpr int32_t kContentStampsScroll = 1029;
constexpr int32_t kContentStencilsScroll = 1030;
constexpr int32_t kContentMegascansScroll = 1037;

// The areas in their order of construction: stamps, stencils, then the six libraries.
constexpr int32_t kContentAreaCount = 8;

class ContentDialog : public ViewDialogBase {
 public:
  ContentDialog();

  bool createContent() override;
  void attachAreas() override;
  void setCellSize(int32_t size) override;
  void rebuild(int32_t reason) override;
  void refresh() override;

  TexturesViewArea& stamps() { return areas_[0]; }
  TexturesViewArea& stencils() { return areas_[1]; }
  // The area of a content library by its file name ("Prime.lib4d"), or null.
  TexturesViewArea* libraryArea(const std::string& library);
  TexturesViewArea& area(int32_t index) { return areas_[index]; }
  MegaScanViewArea& megascans() { return megascans_; }

 private:
  MegaScanViewArea megascans_;
  TexturesViewArea areas_[kContentAreaCount];
};

}  // namespace pigmora
