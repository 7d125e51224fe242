#include "plugin/commands/command_table.h"

#include <utility>

#include "host/binding.h"
#include "plugin/commands/creation_commands.h"
#include "plugin/commands/dialog_commands.h"
#include "plugin/commands/flood_commands.h"
#include "plugin/commands/material_creation.h"
#include "plugin/commands/tag_commands.h"
#include "plugin/commands/uv_commands.h"
#include "plugin/fill/floodlayers.h"

namespace pigmora {

namespace {
constexpr int32_t kMenu = kCommandHiddenInPluginsMenu;
constexpr int32_t kNoMenu = kCommandHiddenInPluginsMenu | kCommandHidden;
constexpr int32_t kFirstMaterialColorState = 100;

// Commands register without icon or help text. What the host refuses is the plug-in's again.
template <class T, class... Args>
bool add(int32_t id, const char* name, int32_t info, Args&&... args) {
  T* cmd = host::make<T>(std::forward<Args>(args)...);
  if (!cmd) return false;
  if (!host::api().registration().registerCommand(id, name, info, "", "", cmd)) {
    host::destroy(cmd);
    return false;
  }
  return true;
}
}  // namespace

bool registerCommands() {
  materialColorGenerator().seed(kFirstMaterialColorState);
  return add<MaterialViewDialogCmd>(kMaterialViewCmdId, "QOR Pigmora Material View", 0) &&
         add<ContentDialogCmd>(kContentViewCmdId, "QOR Pigmora Content View", 0) &&
         add<DeleteAllTextureTags>(kDeleteTextureTagsCmdId, "QOR Delete Texture Tags", kMenu) &&
         add<SetupUdimFromUVs>(kSetupUdimsCmdId, "QOR Setup UDIMs", kMenu) &&
         add<CreateMaterialPerPolyCmd>(kCreatePolyMaterialsCmdId, "QOR Create Poly Materials",
                                       kMenu, 0) &&
         add<CreateMaterialPerPolyCmd>(kCreateUdimPolyMaterialsCmdId,
                                       "QOR Create UDIM Poly Materials", kMenu, 1) &&
         add<CreateSingleMaterialCmd>(kCreateSingleMaterialCmdId, "QOR Create Single Material",
                                      kMenu, 0) &&
         add<CreateSingleMaterialCmd>(kCreateSingleUdimCmdId, "QOR Create Single UDIM", kMenu, 1) &&
         add<CreateMaterialIslandsCmd>(kCreateIslandMaterialsCmdId,
                                       "QOR Create Material Per UV Island", kMenu, 0) &&
         add<CreateMaterialIslandsCmd>(kCreateUdimIslandsCmdId, "QOR Create UDIM Per UV Island",
                                       kMenu, 1) &&
         add<SelectIslandsEdgeCmd>(kSelectEdgesCmdId, "QOR Select Edges", kMenu) &&
         add<ApplyFloodCmd>(kApplyBleedCmdId, "QOR Apply Bleed", kMenu, kFloodBleed, 0) &&
         add<ApplyFloodCmd>(kFillCurrentLayerCmdId, "QOR Fill Current Layer", kMenu,
                            kFloodFillLayer, 1) &&
         add<ApplyFloodCmd>(kFillCurrentLayerUVsCmdId, "QOR Fill Current Layer UVs", kMenu,
                            kFloodFillLayer, 0) &&
         add<ApplyFloodCmd>(kFillUVIslandsCmdId, "QOR Fill UV Islands", kMenu, kFloodFillIslands,
                            0) &&
         add<FlipUVsCmd>(kFlipUVsCmdId, "QOR Flip UVs Vertical", kMenu,
                         FlipUVsCmd::kFlipOutsideFirstRow) &&
         add<ToggleTilingCmd>(kToggleTilingCmdId, "QOR Toggle Tiling", kNoMenu);
}

}  // namespace pigmora
