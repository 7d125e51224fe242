// Start, end and messages of the module.
#include "host/binding.h"
#include "host/entry.h"
#include "plugin/brushes/paintbrushbase.h"
#include "plugin/brushes/paintbrushsculpt.h"
#include "plugin/commands/command_table.h"
#include "plugin/managerscenehook.h"
#include "plugin/painting_lib.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"
#include "plugin/preferences.h"
#include "plugin/resource.h"

namespace {
constexpr int32_t kMessageLoadPriority = 0;
constexpr int32_t kMessageResources = 1;
constexpr int32_t kMessageOther = 1001;
constexpr int32_t kLoadPriority = 10001;
}  // namespace

namespace host {

bool pluginBindResources() {
  return pigmora::createModuleResource();
}

bool pluginStart() {
  Events& events = api().events();
  events.print("QOR Pigmora starting...");
  events.print("Registering plugins..");
  // Registration order: commands, library, message plug-in and undo hook, brushes, preferences,
  // bookmark hook.
  if (!pigmora::registerCommands()) return false;
  if (!pigmora::registerPaintLibrary()) return false;
  if (!pigmora::registerUndoPlugins()) return false;
  if (!pigmora::PaintBrushBase::registerTool()) return false;
  if (!pigmora::PaintBrushSculpt::registerTool()) return false;
  if (!pigmora::PaintPreferences::registerPage()) return false;
  if (!pigmora::ManagerSceneHook::registerHook()) return false;
  pigmora::PaintMaterialRegistry::instance();
  events.print("...successful!");
  return true;
}

void pluginEnd() {
  pigmora::PaintMaterialRegistry::shutdown();
  pigmora::freeModuleResource();
}

bool pluginMessage(int32_t id, void* data) {
  switch (id) {
    case kMessageLoadPriority:
      if (!data) return false;
      *static_cast<int32_t*>(data) = kLoadPriority;
      return true;
    case kMessageResources:
      return pigmora::moduleResource() && pigmora::moduleResource()->load();
    case kMessageOther:
      return true;
    default:
      return false;
  }
}

}  // namespace host
