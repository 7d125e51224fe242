#include "plugin/commands/dialog_commands.h"

#include "plugin/commands/command_table.h"

namespace pigmora {

namespace {
constexpr int32_t kViewSize = 600;
constexpr int32_t kLoaderWidth = 400;
constexpr int32_t kLoaderHeight = 100;

bool openAsync(host::GeDialog& dialog, int32_t pluginId, int32_t width, int32_t height) {
  return dialog.open(host::kDialogAsync, pluginId, host::kDefaultPosition, host::kDefaultPosition,
                     width, height);
}
}  // namespace

bool MaterialViewDialogCmd::execute(host::Document* doc) {
  (void)doc;
  return openAsync(dialog_, kMaterialViewCmdId, kViewSize, kViewSize);
}

bool MaterialViewDialogCmd::restoreLayout(void* secret) {
  return dialog_.restore(kMaterialViewCmdId, secret);
}

bool ContentDialogCmd::execute(host::Document* doc) {
  (void)doc;
  return openAsync(dialog_, kContentViewCmdId, kViewSize, kViewSize);
}

bool ContentDialogCmd::restoreLayout(void* secret) {
  return dialog_.restore(kContentViewCmdId, secret);
}

bool SetupUdimFromUVs::execute(host::Document* doc) {
  (void)doc;
  return openAsync(dialog_, kSetupUdimsCmdId, kLoaderWidth, kLoaderHeight);
}

bool SetupUdimFromUVs::restoreLayout(void* secret) {
  return dialog_.restore(kSetupUdimsCmdId, secret);
}

}  // namespace pigmora
