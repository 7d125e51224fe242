// The user's Megascans library as a grid of albedo previews: every asset folder of the library
// folder (preference 1005) is read, and each existing albedo file of a loaded asset is one cell.
// The context menu turns the cell's asset into a material, or makes its albedo the brush stamp
// or stencil.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "lib/gui/textureelement.h"
#include "lib/gui/viewarea.h"
#include "lib/megascan/megascanimporter.h"
#include "lib/owned_array.h"

namespace pigmora {

constexpr int32_t kMegascanPreviewSize = 256;
constexpr int32_t kMenuCreateMaterial = 1000;

class MegaScanViewArea : public ViewAreaBase {
 public:
  MegaScanViewArea() = default;
  ~MegaScanViewArea() override;

  // Reads the library again and fills the grid.
  bool init() override;
  bool inputEvent(const host::InputEvent& event) override;

  const OwnedArray<MegascanAsset>& assets() const { return assets_; }
  TextureElement* cell(int32_t index) const;

 private:
  void addCells(const MegascanAsset& asset, int32_t index);
  void contextMenu(const host::InputEvent& event, TextureElement* target);

  OwnedArray<MegascanAsset> assets_;
};

}  // namespace pigmora
