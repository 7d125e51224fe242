// The materials area of the paint view: one cell per texture tag of the active polygon object,
// the dialog's layer and channel labels, the choice of channel and layer shown, per-cell actions
// from the context menu, and images dropped onto cells.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"
#include "lib/gui/texturetagelement.h"
#include "lib/gui/viewarea.h"
#include "plugin/paintchannels.h"

namespace pigmora {

// The dialog's labels the area writes.
constexpr int32_t kLabelLayer = 1022;
constexpr int32_t kLabelChannel = 1023;

// Context-menu entries.
constexpr int32_t kMenuPaintAll = 1036239;
constexpr int32_t kMenuNewMaterial = 1036179;
constexpr int32_t kMenuNewUdim = 1037938;
constexpr int32_t kMenuSelectEdges = 1036248;
constexpr int32_t kMenuFloodFill = 1037943;
constexpr int32_t kMenuDelete = 1037966;
constexpr int32_t kMenuBleed = 1037980;
constexpr int32_t kMenuBleedActive = 1037979;
constexpr int32_t kMenuViewChannel = 1037936;
constexpr int32_t kMenuViewLayer = 1037937;
constexpr int32_t kMenuHideShowLayer = 1037982;
// Submenu entries: 1000 + channel, 2000 + bitmap layer, 3000 + layer.
constexpr int32_t kMenuChannelBase = 1000;
constexpr int32_t kMenuLayerBase = 2000;
constexpr int32_t kMenuVisibilityBase = 3000;

// Commands the area runs.
constexpr int32_t kCommandSelectEdges = 1036169;
constexpr int32_t kCommandToggleTiling = 1037939;

class MaterialViewArea : public ViewAreaBase {
 public:
  MaterialViewArea() = default;

  bool init() override;
  bool coreMessage(int32_t id, const host::Settings& msg) override;
  bool inputEvent(const host::InputEvent& event) override;
  void refresh() override;
  void dropFile(const std::string& file, int32_t x, int32_t y) override;
  bool canDropAt(int32_t x, int32_t y) override;

  // Clears the grid and fills it again from the active object; cells that were selected stay so.
  void rebuild();
  // Fills the grid from the active object; cells take previews from `kept` where they can.
  void populate(std::vector<TextureTagElement::KeptPreview>* kept = nullptr);
  void refreshLabels();
  // Shows channel c in every cell, activating the layer named `layer` (or the first bitmap layer)
  // where the texture's active layer is no bitmap layer.
  void selectChannel(ChannelIndex c, const std::string& layer);

  ChannelIndex currentChannel() const { return channel_; }
  const std::string& currentLayerName() const { return layerName_; }
  TextureTagElement* cell(int32_t index) const;
  int32_t cellCount() const { return layout_ ? layout_->count() : 0; }
  // How many times the grid was built again, and refreshed.
  int32_t rebuilds() const { return rebuilds_; }
  int32_t refreshes() const { return refreshes_; }

 private:
  struct MenuMaps {
    std::map<int32_t, std::string> names;
    std::map<int32_t, bool> shown;
  };
  void clearComponentSelection();
  void contextMenu(const host::InputEvent& event);
  host::PopupMenu buildMenu(MenuMaps& maps) const;
  void handleMenu(int32_t id, TextureTagElement* target, const MenuMaps& maps);
  void newMaterial(TextureTagElement* target, bool udim);
  void floodFill(TextureTagElement* target);
  void deleteCell(TextureTagElement* target);
  void viewLayer(const std::string& name);
  void toggleLayer(const std::string& name, bool shown);
  void paintAll(TextureTagElement* target);
  // The active object when it is a polygon object, else null.
  host::PolygonObject* activePolygonObject() const;

  ChannelIndex channel_ = 0;
  std::string layerName_;
  // Preferences read at each mouse input: new-texture format and width, bleed width.
  int32_t textureFormat_ = 1100, textureWidth_ = 1024, bleedWidth_ = 10;
  int32_t rebuilds_ = 0, refreshes_ = 0;
};

}  // namespace pigmora
