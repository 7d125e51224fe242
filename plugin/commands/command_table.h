// The seventeen menu commands: their plug-in ids (the views and other plug-ins run them by id)
// and their registration.
#pragma once

#include <cstdint>

namespace pigmora {

constexpr int32_t kMaterialViewCmdId = 1035527;
constexpr int32_t kContentViewCmdId = 1037991;
constexpr int32_t kDeleteTextureTagsCmdId = 1036499;
constexpr int32_t kSetupUdimsCmdId = 1037970;
constexpr int32_t kCreatePolyMaterialsCmdId = 1035526;
constexpr int32_t kCreateUdimPolyMaterialsCmdId = 1037913;
constexpr int32_t kCreateSingleMaterialCmdId = 1035670;
constexpr int32_t kCreateSingleUdimCmdId = 1037964;
constexpr int32_t kCreateIslandMaterialsCmdId = 1036152;
constexpr int32_t kCreateUdimIslandsCmdId = 1037940;
constexpr int32_t kSelectEdgesCmdId = 1036169;
constexpr int32_t kApplyBleedCmdId = 1037976;
constexpr int32_t kFillCurrentLayerCmdId = 1037977;
constexpr int32_t kFillCurrentLayerUVsCmdId = 1038000;
constexpr int32_t kFillUVIslandsCmdId = 1037978;
constexpr int32_t kFlipUVsCmdId = 1038005;
constexpr int32_t kToggleTilingCmdId = 1037939;

// Plug-in info flags of the commands.
constexpr int32_t kCommandHiddenInPluginsMenu = 0x10000000;
constexpr int32_t kCommandHidden = 0x20000000;

// Registers every command in table order. Stops at the first one the host refuses: false then,
// and the commands after it are not registered.
bool registerCommands();

}  // namespace pigmora
