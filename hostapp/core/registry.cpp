#include "hostapp/core/registry.h"

#include "hostapp/core/embedded_host.h"
#include "hostapp/core/memory.h"

namespace hostapp {

const char* pluginKindName(PluginKind kind) {
  switch (kind) {
    case PluginKind::kCommand:
      return "command";
    case PluginKind::kTool:
      return "tool";
    case PluginKind::kSceneHook:
      return "scene hook";
    case PluginKind::kMessage:
      return "message plug-in";
    case PluginKind::kPrefsPage:
      return "preferences page";
    case PluginKind::kLibrary:
      return "function library";
  }
  return "unknown";
}

bool PluginRegistry::accept(int32_t id) const {
  return refused_.count(id) == 0 && find(id) == nullptr;
}

const RegisteredPlugin* PluginRegistry::find(int32_t id) const {
  for (const auto& p : plugins_)
    if (p.id == id) return &p;
  return nullptr;
}

RegisteredPlugin* PluginRegistry::add(bool valid, int32_t id, PluginKind kind,
                                      const std::string& name, int32_t info) {
  if (!valid || !accept(id)) return nullptr;
  RegisteredPlugin& p = plugins_.emplace_back();
  p.id = id;
  p.kind = kind;
  p.name = name;
  p.info = info;
  return &p;
}

bool PluginRegistry::registerCommand(int32_t id, const std::string& name, int32_t info,
                                     const std::string& icon, const std::string& help,
                                     host::CommandData* cmd) {
  RegisteredPlugin* p = add(cmd != nullptr, id, PluginKind::kCommand, name, info);
  if (!p) return false;
  p->icon = icon;
  p->help = help;
  p->command = cmd;
  return true;
}

bool PluginRegistry::registerSceneHook(int32_t id, const std::string& name, int32_t info,
                                       host::NodeAllocator alloc, int32_t priority,
                                       int32_t diskLevel) {
  RegisteredPlugin* p = add(alloc != nullptr, id, PluginKind::kSceneHook, name, info);
  if (!p) return false;
  p->allocator = alloc;
  p->priority = priority;
  p->diskLevel = diskLevel;
  return true;
}

bool PluginRegistry::registerMessage(int32_t id, const std::string& name, int32_t info,
                                     host::MessageData* msg) {
  RegisteredPlugin* p = add(msg != nullptr, id, PluginKind::kMessage, name, info);
  if (!p) return false;
  p->message = msg;
  return true;
}

bool PluginRegistry::registerPrefsPage(int32_t id, const std::string& name,
                                       const std::string& description, host::NodeAllocator alloc,
                                       int32_t parentId, int32_t sortId) {
  RegisteredPlugin* p = add(alloc != nullptr, id, PluginKind::kPrefsPage, name, 0);
  if (!p) return false;
  p->description = description;
  p->allocator = alloc;
  p->parentId = parentId;
  p->sortId = sortId;
  return true;
}

bool PluginRegistry::registerTool(int32_t id, const std::string& name, int32_t info,
                                  const std::string& icon, const std::string& help,
                                  host::SculptBrushToolData* tool) {
  RegisteredPlugin* p = add(tool != nullptr, id, PluginKind::kTool, name, info);
  if (!p) return false;
  p->icon = icon;
  p->help = help;
  p->tool = tool;
  return true;
}

bool PluginRegistry::installLibrary(int32_t id, void* record, int32_t version, int32_t size) {
  RegisteredPlugin* p = add(record && size > 0, id, PluginKind::kLibrary, "", 0);
  if (!p) return false;
  p->record = record;
  p->version = version;
  p->size = size;
  return true;
}

void* PluginRegistry::findLibrary(int32_t id) {
  if (id == host::kPainterLibraryId) return &host_.paint().painter();
  if (id == host::kSculptLibraryId) return &host_.sculpt();
  const RegisteredPlugin* p = find(id);
  return p && p->kind == PluginKind::kLibrary ? p->record : nullptr;
}

bool PluginRegistry::callCommand(int32_t id, int32_t subId) {
  const RegisteredPlugin* p = find(id);
  if (!p || p->kind != PluginKind::kCommand) return false;
  host::Document* doc = host_.scene().activeDocument();
  if (!(p->command->getState(doc) & host::CommandData::kStateEnabled)) return false;
  return subId != 0 ? p->command->executeSubId(doc, subId) : p->command->execute(doc);
}

int32_t PluginRegistry::toolInfo(int32_t id) {
  const RegisteredPlugin* p = find(id);
  return p && p->kind == PluginKind::kTool ? p->info : -1;
}

void PluginRegistry::destroyAll(CountingMemory& memory) {
  for (auto& p : plugins_) {
    host::BaseData* obj = p.command   ? static_cast<host::BaseData*>(p.command)
                          : p.message ? static_cast<host::BaseData*>(p.message)
                                      : static_cast<host::BaseData*>(p.tool);
    if (obj) {
      obj->~BaseData();
      memory.free(obj);
    }
  }
  plugins_.clear();
}

}  // namespace hostapp
