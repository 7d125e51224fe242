// The paint view, "Pigmora Material View": the materials of the active polygon object with their
// channels and layers, and a side menu of layer, channel, UDIM, material and UV commands.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "lib/gui/materialviewarea.h"
#include "lib/gui/viewdialog.h"
#include "lib/host_array.h"
#include "plugin/paintchannels.h"

namespace pigmora {

constexpr int32_t kPaintViewId = 1035527;
constexpr int32_t kLayerNameDialogId = 1037929;

// Gadgets of the content column.
constexpr int32_t kPaintViewTabs = 1006;
constexpr int32_t kPaintViewMaterialsTab = 1007;
constexpr int32_t kPaintViewArea = 1012;
constexpr int32_t kPaintViewScroll = 1017;

// Menu entries the dialog carries out itself.
constexpr int32_t kMenuAddLayer = 1036281;
constexpr int32_t kMenuWireframeLayer = 1037942;
constexpr int32_t kMenuFloodFillLayer = 1037946;
// Add-channel entries: 1037916 .. 1037928.
constexpr int32_t kMenuChannelFirst = 1037916;
constexpr int32_t kMenuChannelLast = 1037928;

// The channel an add-channel entry adds, or -1 outside the range.
ChannelIndex channelOfMenuEntry(int32_t id);

// Asks for the name of a new layer: an edit field with OK and Cancel.
class SetLayerNameDiag : public host::GeModalDialog {
 public:
  static constexpr int32_t kName = 1000, kOk = 1001, kCancel = 1002;

  bool createLayout() override;
  bool initValues() override;
  bool command(int32_t id, const host::Settings& msg) override;
  // Closing the window without OK is a cancel too.
  void destroyWindow() override;
  // What the user confirmed; empty when they cancelled.
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  bool confirmed_ = false;
};

class BPViewDialog : public ViewDialogBase {
 public:
  BPViewDialog();
  ~BPViewDialog() override;

  bool initValues() override;
  bool coreMessage(int32_t id, const host::Settings& msg) override;
  bool createContent() override;
  void attachAreas() override;
  void setCellSize(int32_t size) override;
  void buildMenus() override;
  void rebuild(int32_t reason) override;
  void menuCommand(int32_t id) override;
  void refresh() override;

  // Gives every standard material of the active object channel c, with a texture where it has
  // none, and shows the channel.
  void addChannel(ChannelIndex c);
  // "Add Layer", "Create wireframe layer" and "Create Flood Fill layer".
  void layerAction(int32_t id);

  MaterialViewArea& materials() { return materials_; }
  bool polygonSeen() const { return polygonSeen_; }

 private:
  MaterialViewArea materials_;
  host::Link* activeMaterial_ = nullptr;
  HostArray<host::Material*>* activeSelection_ = nullptr;
  host::Link* activeObject_ = nullptr;
  HostArray<host::Material*>* objectMaterials_ = nullptr;
  bool polygonSeen_ = false;
};

}  // namespace pigmora
